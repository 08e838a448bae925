// The folder tree over the wire: what the client sends for the browsing and administration
// operations is what the service reads, and what the service answers is what the client lists.

#include "servicefixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace integration {
namespace {

using protocol::CallResult;
using protocol::DeletedItem;
using protocol::FolderItem;
using protocol::ServiceClient;

std::vector<FolderItem> folders(ServiceClient &c, const std::string &uid, const std::string &path)
{
    std::vector<FolderItem> list;
    const CallResult r = c.getFolderList(uid, path, list);
    EXPECT_TRUE(r.succeeded()) << path << ": " << r.message();
    return list;
}

std::vector<std::string> names(const std::vector<FolderItem> &list)
{
    std::vector<std::string> result;
    for (const FolderItem &item : list)
        result.push_back(item.name);
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<DeletedItem> deleted(ServiceClient &c, const std::string &uid, const std::string &path)
{
    std::vector<DeletedItem> list;
    const CallResult r = c.getDeletedList(uid, path, list);
    EXPECT_TRUE(r.succeeded()) << path << ": " << r.message();
    return list;
}

std::int64_t fileCount(ServiceClient &c, const std::string &uid, const std::string &path,
                       bool subFolders)
{
    std::int64_t count = -1;
    const CallResult r = c.getItemCount(uid, path, subFolders, count);
    EXPECT_TRUE(r.succeeded()) << path << ": " << r.message();
    return count;
}

using FolderTreeTest = ServiceTest;

TEST_F(FolderTreeTest, RegisteredUserCreatesListsRenamesMovesAndCounts)
{
    ServiceClient c = client();
    const std::string uid = registerUser(c, "alice");
    ASSERT_FALSE(uid.empty());
    // The ID the service gave is accepted on the next logon.
    std::optional<std::string> again;
    ASSERT_TRUE(c.logon(uid, "pc-alice", "alice", "127.0.0.1", again).succeeded());

    ASSERT_TRUE(c.createFolder(uid, "", "Docs", "Team documents & <notes>", false).succeeded());
    ASSERT_TRUE(c.createFolder(uid, "", "Private", "Only mine", true).succeeded());
    ASSERT_TRUE(c.createFolder(uid, "Docs", "Drafts", "", false).succeeded());

    const std::vector<FolderItem> top = folders(c, uid, "");
    ASSERT_EQ(names(top), (std::vector<std::string>{"Docs", "Private"}));
    for (const FolderItem &item : top) {
        if (item.name == "Docs") {
            EXPECT_EQ(item.isPrivate, 0u);
            EXPECT_EQ(item.comment, "Team documents & <notes>");
        } else {
            EXPECT_EQ(item.isPrivate, 1u);
            EXPECT_EQ(item.comment, "Only mine");
        }
    }
    // A folder without subfolders lists nothing, and that is a success.
    EXPECT_TRUE(folders(c, uid, "Private").empty());

    ASSERT_TRUE(c.rename(uid, "Docs\\Drafts", "Plans").succeeded());
    EXPECT_EQ(names(folders(c, uid, "Docs")), (std::vector<std::string>{"Plans"}));
    ASSERT_TRUE(c.move(uid, "Docs\\Plans", "Private").succeeded());
    EXPECT_TRUE(folders(c, uid, "Docs").empty());
    EXPECT_EQ(names(folders(c, uid, "Private")), (std::vector<std::string>{"Plans"}));

    // Per-user work folder and a folder's own comment (version 0).
    ASSERT_TRUE(c.setWorkFolderPath(uid, "Docs", "/home/alice/work/docs").succeeded());
    ASSERT_TRUE(c.updateComment(uid, "Docs", 0, "Renamed purpose").succeeded());
    for (const FolderItem &item : folders(c, uid, "")) {
        if (item.name == "Docs") {
            EXPECT_EQ(item.workFolderPath, "/home/alice/work/docs");
            EXPECT_EQ(item.comment, "Renamed purpose");
        } else {
            EXPECT_TRUE(item.workFolderPath.empty());
        }
    }

    // Names and comments beyond ASCII travel as UTF-8 both ways.
    const std::string name = "Donn\xC3\xA9"
                             "es \xE6\x97\xA5\xE6\x9C\xAC";
    const std::string comment = "\xC3\xBC\xC3\xA9 \xE2\x82\xAC 5";
    ASSERT_TRUE(c.createFolder(uid, "Docs", name, comment, false).succeeded());
    const std::vector<FolderItem> below = folders(c, uid, "Docs");
    ASSERT_EQ(below.size(), 1u);
    EXPECT_EQ(below[0].name, name);
    EXPECT_EQ(below[0].comment, comment);
    ASSERT_TRUE(c.rename(uid, "Docs\\" + name, "Unicode").succeeded());

    // The count is of files: one in Docs, one below Private.
    const auto note = local("note.txt");
    writeFileBytes(note, "note\n");
    ASSERT_TRUE(c.addFile(uid, "Docs", "a.txt", note, "first").succeeded());
    ASSERT_TRUE(c.addFile(uid, "Private\\Plans", "b.txt", note, "first").succeeded());
    EXPECT_EQ(fileCount(c, uid, "Docs", false), 1);
    EXPECT_EQ(fileCount(c, uid, "Private", false), 0);
    EXPECT_EQ(fileCount(c, uid, "Private", true), 1);
    EXPECT_EQ(fileCount(c, uid, "", true), 2);

    // History of a folder with or without the files below it.
    std::vector<protocol::HistoryItem> direct;
    std::vector<protocol::HistoryItem> deep;
    ASSERT_TRUE(c.getHistoryList(uid, "Private", false, direct).succeeded());
    ASSERT_TRUE(c.getHistoryList(uid, "Private", true, deep).succeeded());
    EXPECT_TRUE(direct.empty());
    ASSERT_EQ(deep.size(), 1u);
    // A folder's history names each file by its server path, so a row can be fetched.
    EXPECT_EQ(deep[0].fileName, "Private\\Plans\\b.txt");
    EXPECT_EQ(deep[0].comment, "first");
    EXPECT_EQ(deep[0].updateUser, "alice");
}

TEST_F(FolderTreeTest, DeleteRestoreAndPurgeOfFoldersAndFiles)
{
    ServiceClient c = client();
    const std::string uid = registerUser(c, "alice");
    ASSERT_FALSE(uid.empty());
    ASSERT_TRUE(c.createFolder(uid, "", "Docs", "", false).succeeded());
    ASSERT_TRUE(c.createFolder(uid, "Docs", "Old", "", false).succeeded());
    ASSERT_TRUE(c.createFolder(uid, "Docs", "Gone", "", false).succeeded());
    const auto note = local("note.txt");
    writeFileBytes(note, "content");
    ASSERT_TRUE(c.addFile(uid, "Docs", "readme.txt", note, "").succeeded());

    // Restorable deletes: both kinds are listed with their type.
    ASSERT_TRUE(c.deleteItem(uid, "Docs\\Old", false).succeeded());
    ASSERT_TRUE(c.deleteItem(uid, "Docs\\readme.txt", false).succeeded());
    EXPECT_EQ(names(folders(c, uid, "Docs")), (std::vector<std::string>{"Gone"}));
    EXPECT_EQ(fileCount(c, uid, "Docs", false), 0);
    std::vector<DeletedItem> list = deleted(c, uid, "Docs");
    std::sort(list.begin(), list.end(),
              [](const DeletedItem &a, const DeletedItem &b) { return a.name < b.name; });
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Old");
    EXPECT_EQ(list[0].type, DeletedItem::Type::Folder);
    EXPECT_EQ(list[1].name, "readme.txt");
    EXPECT_EQ(list[1].type, DeletedItem::Type::File);

    ASSERT_TRUE(c.repaire(uid, "Docs\\Old").succeeded());
    ASSERT_TRUE(c.repaire(uid, "Docs\\readme.txt").succeeded());
    EXPECT_EQ(names(folders(c, uid, "Docs")), (std::vector<std::string>{"Gone", "Old"}));
    EXPECT_EQ(fileCount(c, uid, "Docs", false), 1);
    EXPECT_TRUE(deleted(c, uid, "Docs").empty());

    // A purge leaves nothing to restore.
    ASSERT_TRUE(c.deleteItem(uid, "Docs\\Gone", true).succeeded());
    EXPECT_EQ(names(folders(c, uid, "Docs")), (std::vector<std::string>{"Old"}));
    EXPECT_TRUE(deleted(c, uid, "Docs").empty());
    const CallResult restore = c.repaire(uid, "Docs\\Gone");
    EXPECT_FALSE(restore.succeeded());
    EXPECT_NE(restore.errorText.find("Gone"), std::string::npos) << restore.errorText;
}

} // namespace
} // namespace integration
