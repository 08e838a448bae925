// Throughput of ravelind-server on loopback, measured the way the client talks to it:
// one keep-alive connection, 120000-byte upload pieces in base64 lines of 76
// characters, downloads in the server's chunk size.
//
//   server_bench [MiB to transfer, default 256] [files in the listed folder, default 1000]

#include <httplib.h>
#include <pugixml.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kNamespace = "http://quellvane.example/webservices/";

std::string envelope(const std::string &operation, const std::string &elements)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body><" +
           operation + " xmlns=\"" + kNamespace + "\">" + elements + "</" + operation +
           "></soap:Body></soap:Envelope>";
}

std::string element(const std::string &name, const std::string &value)
{
    return "<" + name + ">" + value + "</" + name + ">";
}

std::string base64Lines(const char *bytes, std::size_t size)
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve(size / 3 * 4 + size / 57 * 2 + 8);
    std::size_t groups = 0;
    for (std::size_t i = 0; i < size; i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < size)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < size)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += i + 1 < size ? kAlphabet[(group >> 6) & 63] : '=';
        text += i + 2 < size ? kAlphabet[group & 63] : '=';
        if (++groups % 19 == 0)
            text += "\r\n";
    }
    return text;
}

std::size_t decodedSize(const char *text)
{
    std::size_t characters = 0;
    for (; *text; ++text) {
        const char c = *text;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '+' || c == '/')
            ++characters;
    }
    return characters / 4 * 3 + (characters % 4 == 0 ? 0 : characters % 4 - 1);
}

struct Server
{
    pid_t pid = -1;
    int port = 0;
};

Server startServer(const std::string &dataDir)
{
    int ends[2];
    if (pipe(ends) != 0)
        std::exit(1);
    Server server;
    server.pid = fork();
    if (server.pid == 0) {
        dup2(ends[1], STDOUT_FILENO);
        close(ends[0]);
        close(ends[1]);
        execl(RAVELIND_SERVER_PATH, RAVELIND_SERVER_PATH, "--data", dataDir.c_str(), "--port", "0",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    std::string line;
    char c = 0;
    while (read(ends[0], &c, 1) == 1 && c != '\n')
        line += c;
    server.port = std::atoi(line.c_str() + line.rfind(' ') + 1);
    return server;
}

long peakMemoryKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

class Client
{
public:
    explicit Client(int port)
        : m_http("127.0.0.1", port)
    {
        m_http.set_keep_alive(true);
        m_http.set_tcp_nodelay(true);
        m_http.set_read_timeout(300);
    }

    std::string call(const std::string &operation, const std::string &elements)
    {
        httplib::Headers headers{{"SOAPAction", "\"" + kNamespace + operation + "\""}};
        auto result = m_http.Post("/Service.asmx", headers, envelope(operation, elements),
                                  "text/xml; charset=utf-8");
        if (!result || result->status != 200) {
            std::cerr << operation << " failed: " << (result ? result->body : "no answer") << "\n";
            std::exit(1);
        }
        return result->body;
    }

private:
    httplib::Client m_http;
};

std::string resultValue(const std::string &body, const std::string &path)
{
    pugi::xml_document document;
    document.load_string(body.c_str());
    return document.first_element_by_path(("soap:Envelope/soap:Body/" + path).c_str()).text().get();
}

std::string upload(Client &client, const std::string &folder, const std::string &name,
                   const char *bytes, std::size_t size)
{
    static constexpr std::size_t kPiece = 120000; // the client's upload piece
    std::string fileId;
    std::size_t sent = 0;
    do {
        const std::size_t piece = std::min(kPiece, size - sent);
        const std::string data = base64Lines(bytes + sent, piece);
        sent += piece;
        const std::string body = client.call(
            "AddFile", element("UserID", "bench") + element("SelectPath", folder) +
                           element("AddFileName", name) +
                           element("UpdateTime", "2026/11/30 08:15:00") + element("Comment", "") +
                           element("FileID", fileId) + "<Data><string>" + data +
                           "</string></Data>" + element("bLast", sent == size ? "true" : "false"));
        fileId = resultValue(body, "AddFileResponse/AddFileResult");
    } while (sent < size);
    return fileId;
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
    char pattern[] = "/tmp/ravelind-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string dataDir = pattern;
    const Server server = startServer(dataDir + "/data");
    Client client(server.port);
    client.call("Logon", element("UserID", "") + element("PC", "bench") +
                             element("LogonUserID", "bench") + element("IPAddress", "127.0.0.1"));
    client.call("CreateFolder", element("UserID", "bench") + element("ParentPath", "") +
                                    element("FolderName", "Many") + element("Comment", "") +
                                    element("IsPrivate", "false"));
    {
        // Fill the folder from four connections; this part is set-up, not measured.
        std::vector<std::thread> fillers;
        for (int t = 0; t < 4; ++t) {
            fillers.emplace_back([&, t] {
                Client filler(server.port);
                for (int i = t; i < files; i += 4) {
                    const std::string text = "file " + std::to_string(i) + "\n";
                    upload(filler, "Many", "file" + std::to_string(i) + ".txt", text.data(),
                           text.size());
                }
            });
        }
        for (auto &filler : fillers)
            filler.join();
    }

    const std::string listElements = element("UserID", "bench") + element("ParentPath", "Many");
    int requests = 0;
    auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5)) {
        client.call("GetFileList", listElements);
        ++requests;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("GetFileList of %d files, 1 connection: %.1f requests/s (%d in %.2f s)\n", files,
                requests / seconds, requests, seconds);

    const std::size_t size = mebibytes * 1024 * 1024;
    std::string content(size, '\0');
    std::mt19937_64 random(42);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(content.data() + i, &word, 8);
    }
    start = Clock::now();
    upload(client, "", "big.bin", content.data(), content.size());
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "upload %zu MiB in 120000-byte chunks: %.1f MB/s (%.2f s), server peak RSS %ld KiB\n",
        mebibytes, size / seconds / 1e6, seconds, peakMemoryKiB(server.pid));

    std::size_t received = 0;
    start = Clock::now();
    for (;;) {
        const std::string body = client.call(
            "GetFile", element("UserID", "bench") + element("FilePath", "big.bin") +
                           element("Version", "-1") + element("Offset", std::to_string(received)));
        pugi::xml_document document;
        document.load_string(body.c_str());
        const pugi::xml_node result =
            document.first_element_by_path("soap:Envelope/soap:Body/GetFileResponse/GetFileResult");
        std::size_t got = 0;
        for (pugi::xml_node piece : result.child("Data").children())
            got += decodedSize(piece.text().get());
        if (result.child("Size").text().as_ullong() == 0)
            break;
        received += got;
    }
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "download %zu MiB in 1 MiB answers: %.1f MB/s (%.2f s)%s, server peak RSS %ld KiB\n",
        mebibytes, received / seconds / 1e6, seconds, received == size ? "" : " SIZE MISMATCH",
        peakMemoryKiB(server.pid));

    // Hostile requests: eight at once, each just under the 16 MiB body limit and made of
    // about four million empty elements. The element bound refuses them before a parse
    // tree is built, so the peak stays near the bodies themselves.
    {
        std::string hostile =
            envelope("GetFileList", element("UserID", "bench") + element("ParentPath", ""));
        std::string filler;
        while (filler.size() + hostile.size() + 4 < 16u * 1024 * 1024 - 64)
            filler += "<e/>";
        hostile.insert(hostile.find("<ParentPath>"), filler);
        start = Clock::now();
        std::vector<std::thread> attackers;
        for (int t = 0; t < 8; ++t) {
            attackers.emplace_back([&] {
                httplib::Client attacker("127.0.0.1", server.port);
                attacker.set_read_timeout(120);
                attacker.Post("/Service.asmx",
                              {{"SOAPAction", "\"" + kNamespace + "GetFileList\""}}, hostile,
                              "text/xml; charset=utf-8");
            });
        }
        for (auto &attacker : attackers)
            attacker.join();
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("8 requests of %zu empty elements at once: answered in %.2f s, server peak "
                    "RSS %ld KiB\n",
                    filler.size() / 4, seconds, peakMemoryKiB(server.pid));
    }

    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
    std::filesystem::remove_all(dataDir);
    return received == size ? 0 : 1;
}
