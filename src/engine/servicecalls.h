#pragma once

// The direct service calls of the windows (list, rename, create, delete, logon, ...), as
// values in and values out. Every call makes its own client from the profile it is given and
// blocks the calling thread until the exchange is over, so windows run these off the UI
// thread and apply the returned records there. Safe to call from several threads at once.

#include <platform/machineidentity.h>
#include <protocol/callresult.h>
#include <protocol/records.h>
#include <protocol/service.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// Makes the client for one call from a profile. Tests put a scripted fake here.
using ServiceFactory =
    std::function<std::unique_ptr<protocol::Service>(const protocol::ServerProfile &)>;

// A direct call waits this long for a server whose profile sets no time-out: a window must
// never wait without end for a server that does not answer.
inline constexpr std::uint32_t kDirectCallFallbackTimeout = 60;

// The time-out, in seconds, that bounds a direct call for this profile.
std::uint32_t directCallTimeout(const protocol::ServerProfile &profile);

// A ServiceClient filled from the profile, with the time-out of directCallTimeout.
ServiceFactory directCallFactory();

struct LogonOutcome
{
    protocol::CallResult result;
    // The user ID to keep: the LogonResult when the service sent a non-empty one that
    // differs, else the profile's own.
    std::string userId;
};

struct NodeListing
{
    bool foldersAsked = false;
    protocol::CallResult folderResult;
    std::vector<protocol::FolderItem> folders;
    bool filesAsked = false;
    protocol::CallResult fileResult;
    std::vector<protocol::FileItem> files;

    // The first failure of the two calls; nullptr when both that were asked succeeded.
    const protocol::CallResult *failure() const;
};

struct HistoryListing
{
    protocol::CallResult result;
    std::vector<protocol::HistoryItem> items; // in the order the service sent them
};

struct DeleteOutcome
{
    // The paths deleted, in the order asked; the calls stop at the first failure.
    std::vector<std::string> deleted;
    protocol::CallResult failure; // succeeded() when every path was deleted
};

struct DeletedListing
{
    protocol::CallResult result;
    std::vector<protocol::DeletedItem> items; // in the order the service sent them
};

class ServiceCalls
{
public:
    explicit ServiceCalls(ServiceFactory factory = directCallFactory());

    // Logon with the machine identity: computer name, logon user name, address.
    LogonOutcome logon(const protocol::ServerProfile &profile,
                       const platform::MachineIdentity &identity) const;
    // GetFolderList (when `withFolders`) and then GetFileList of one folder path; the file
    // list is not asked for when the folder list failed.
    NodeListing listNode(const protocol::ServerProfile &profile, const std::string &folderPath,
                         bool withFolders, bool withFiles = true) const;
    protocol::CallResult rename(const protocol::ServerProfile &profile, const std::string &itemPath,
                                const std::string &newName) const;
    protocol::CallResult createFolder(const protocol::ServerProfile &profile,
                                      const std::string &parentPath, const std::string &name,
                                      const std::string &comment, bool isPrivate) const;
    // Delete of each path in turn, stopping at the first failure.
    DeleteOutcome deleteItems(const protocol::ServerProfile &profile,
                              const std::vector<std::string> &paths, bool purge) const;
    protocol::CallResult setWorkFolder(const protocol::ServerProfile &profile,
                                       const std::string &folderPath,
                                       const std::string &workFolder) const;
    protocol::CallResult serverDelete(const protocol::ServerProfile &profile) const;
    // GetHistoryList of a file or folder path (with its subfolders when `subFolders`).
    HistoryListing historyList(const protocol::ServerProfile &profile, const std::string &path,
                               bool subFolders) const;
    protocol::CallResult rollBack(const protocol::ServerProfile &profile,
                                  const std::string &filePath, std::int32_t version) const;
    // UpdateComment of a folder (version 0).
    protocol::CallResult updateFolderComment(const protocol::ServerProfile &profile,
                                             const std::string &folderPath,
                                             const std::string &comment) const;
    // GetDeletedList of one folder path.
    DeletedListing deletedList(const protocol::ServerProfile &profile,
                               const std::string &folderPath) const;
    // Repaire: a deleted item back in its folder.
    protocol::CallResult recover(const protocol::ServerProfile &profile,
                                 const std::string &itemPath) const;

private:
    std::unique_ptr<protocol::Service> make(const protocol::ServerProfile &profile) const;

    ServiceFactory m_factory;
};

} // namespace engine
