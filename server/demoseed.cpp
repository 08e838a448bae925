#include "demoseed.h"

#include "repository.h"
#include "wiretext.h"

#include <ctime>
#include <random>

namespace server {

namespace {

struct Seeder
{
    Repository &repository;
    std::string error;
    std::time_t now = std::time(nullptr);

    bool check(const Outcome &outcome)
    {
        if (!outcome.ok() && error.empty())
            error = outcome.refusal;
        return outcome.ok();
    }

    std::string daysAgo(int days, int minutes = 0)
    {
        return formatWireTime(now - days * 86400 - minutes * 60);
    }

    void folder(const Caller &who, const std::string &parent, const std::string &name,
                const std::string &comment, bool isPrivate = false)
    {
        check(repository.createFolder(who, parent, name, comment, isPrivate));
    }

    void put(const Caller &who, UploadKind kind, const std::string &path, const std::string &name,
             const std::string &content, const std::string &updateTime, const std::string &comment)
    {
        UploadChunk chunk;
        chunk.kind = kind;
        chunk.path = path;
        chunk.name = name;
        chunk.updateTime = updateTime;
        chunk.comment = comment;
        chunk.data = content;
        chunk.last = true;
        std::string fileId;
        check(repository.upload(who, chunk, fileId));
    }

    void add(const Caller &who, const std::string &folderPath, const std::string &name,
             const std::string &content, const std::string &updateTime, const std::string &comment)
    {
        put(who, UploadKind::AddFile, folderPath, name, content, updateTime, comment);
    }

    void revise(const Caller &who, const std::string &filePath, const std::string &content,
                const std::string &updateTime, const std::string &comment)
    {
        check(repository.checkOut(who, filePath, "demo\\" + filePath));
        put(who, UploadKind::Checkin, filePath, "", content, updateTime, comment);
    }
};

std::string binaryContent(std::size_t size)
{
    std::mt19937 random(20261207);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

} // namespace

bool DemoSeed::seed(Repository &repository, const std::string &ownUser, std::string &error)
{
    Seeder s{repository, {}};
    const Caller mara{"mara", "192.168.10.21", ""};
    const Caller jonas{"jonas", "192.168.10.34", ""};
    const Caller own{ownUser, "127.0.0.1", ""};
    s.check(repository.logon(mara.userId, "WS-MARA", "mara", mara.address));
    s.check(repository.logon(jonas.userId, "WS-JONAS", "jonas", jonas.address));
    if (!ownUser.empty() && ownUser != mara.userId && ownUser != jonas.userId)
        s.check(repository.logon(own.userId, "localhost", ownUser, own.address));

    s.add(mara, "", "README.txt", "Quellvane demo repository\r\n", s.daysAgo(30), "First readme");
    s.revise(jonas, "README.txt",
             "Quellvane demo repository\r\n\r\nBuild: run scripts/build.sh\r\n", s.daysAgo(12),
             "Add build instructions");

    s.folder(mara, "", "Projects", "Active projects");
    s.folder(mara, "Projects", "Website", "Public web site");
    s.folder(jonas, "Projects\\Website", "assets", "Images and downloads");
    s.folder(jonas, "Projects", "Tools", "Build and deployment scripts");
    s.folder(mara, "Projects", "Drafts", "Ideas not yet started");
    s.folder(mara, "", "Documents", "Plans and minutes");

    const std::string page1 = "<html>\n<head><title>Quellvane</title></head>\n<body>\n"
                              "<h1>Welcome</h1>\n</body>\n</html>\n";
    const std::string page2 = "<html>\n<head><title>Quellvane</title>\n"
                              "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
                              "<h1>Welcome</h1>\n<p>Version control for small teams.</p>\n"
                              "</body>\n</html>\n";
    const std::string page3 = "<html>\n<head><title>Quellvane</title>\n"
                              "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n"
                              "<h1>Welcome to Quellvane</h1>\n"
                              "<p>Version control for small teams.</p>\n"
                              "<p><a href=\"download.html\">Download</a></p>\n</body>\n</html>\n";
    s.add(mara, "Projects\\Website", "index.html", page1, s.daysAgo(25), "First page");
    s.revise(jonas, "Projects\\Website\\index.html", page2, s.daysAgo(20), "Link the style sheet");
    s.revise(mara, "Projects\\Website\\index.html", page3, s.daysAgo(3, 42),
             "New heading & download link");
    s.add(jonas, "Projects\\Website", "style.css", "body { font-family: sans-serif; }\n",
          s.daysAgo(20), "Basic style");
    s.revise(jonas, "Projects\\Website\\style.css",
             "body { font-family: sans-serif; margin: 2em; }\nh1 { color: #2a5d8f; }\n",
             s.daysAgo(2), "Margins and heading colour");
    s.check(
        repository.checkOut(jonas, "Projects\\Website\\style.css", "C:\\Work\\Website\\style.css"));
    s.add(mara, "Projects\\Website", "old-index.html", "<html><body>Old</body></html>\n",
          s.daysAgo(40), "Former start page");
    s.check(repository.remove(mara, "Projects\\Website\\old-index.html", false));
    s.add(jonas, "Projects\\Website\\assets", "logo.svg",
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\">"
          "<circle cx=\"32\" cy=\"32\" r=\"30\" fill=\"#2a5d8f\"/></svg>\n",
          s.daysAgo(18), "Logo");
    s.add(jonas, "Projects\\Website\\assets", "sample-data.bin",
          binaryContent(3 * 1024 * 1024 + 517), s.daysAgo(9),
          "Sample data for the download page (binary)");

    s.add(jonas, "Projects\\Tools", "build.sh", "#!/bin/sh\nmake\n", s.daysAgo(15), "Build script");
    s.revise(jonas, "Projects\\Tools\\build.sh", "#!/bin/sh\nset -e\nmake -j2\n", s.daysAgo(6),
             "Stop on errors, build in parallel");
    s.add(mara, "Projects\\Tools", "deploy.py",
          "import shutil\n\nshutil.copytree('site', '/srv/www', dirs_exist_ok=True)\n",
          s.daysAgo(5), "Deployment");
    s.add(mara, "Projects\\Drafts", "mobile-app.txt", "A mobile client, some day.\n", s.daysAgo(50),
          "Idea");
    s.check(repository.remove(mara, "Projects\\Drafts", false));

    s.add(mara, "Documents", "meeting-notes.txt", "2026-11-02: kick-off\n", s.daysAgo(35),
          "Kick-off");
    s.revise(jonas, "Documents\\meeting-notes.txt",
             "2026-11-02: kick-off\n2026-11-16: web site review\n", s.daysAgo(21),
             "Web site review");
    s.revise(mara, "Documents\\meeting-notes.txt",
             "2026-11-02: kick-off\n2026-11-16: web site review\n2026-11-30: release plan\n",
             s.daysAgo(7), "Release plan");
    s.add(mara, "Documents", "roadmap.md", "# Roadmap\n\n- Web site\n- Tools\n", s.daysAgo(10),
          "Roadmap");

    if (!ownUser.empty()) {
        s.folder(own, "", "Private", "Only you see this folder", true);
        s.add(own, "Private", "todo.txt", "Try the client against the demo service.\n",
              s.daysAgo(1), "My list");
    }
    error = s.error;
    return error.empty();
}

} // namespace server
