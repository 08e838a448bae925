#include "engine/servicecalls.h"

#include <protocol/serviceclient.h>

namespace engine {

std::uint32_t directCallTimeout(const protocol::ServerProfile &profile)
{
    return profile.timeout == 0 ? kDirectCallFallbackTimeout : profile.timeout;
}

ServiceFactory directCallFactory()
{
    return [](const protocol::ServerProfile &profile) -> std::unique_ptr<protocol::Service> {
        protocol::ServerProfile bounded = profile;
        bounded.timeout = directCallTimeout(profile);
        auto client = std::make_unique<protocol::ServiceClient>();
        client->fillFromProfile(bounded);
        return client;
    };
}

const protocol::CallResult *NodeListing::failure() const
{
    if (foldersAsked && !folderResult.succeeded())
        return &folderResult;
    if (filesAsked && !fileResult.succeeded())
        return &fileResult;
    return nullptr;
}

ServiceCalls::ServiceCalls(ServiceFactory factory)
    : m_factory(std::move(factory))
{
}

std::unique_ptr<protocol::Service> ServiceCalls::make(const protocol::ServerProfile &profile) const
{
    return m_factory(profile);
}

LogonOutcome ServiceCalls::logon(const protocol::ServerProfile &profile,
                                 const platform::MachineIdentity &identity) const
{
    LogonOutcome outcome;
    outcome.userId = profile.userId;
    std::optional<std::string> given;
    outcome.result = make(profile)->logon(profile.userId, identity.computerName, identity.userName,
                                          identity.ipAddress, given);
    if (outcome.result.succeeded() && given && !given->empty())
        outcome.userId = *given;
    return outcome;
}

NodeListing ServiceCalls::listNode(const protocol::ServerProfile &profile,
                                   const std::string &folderPath, bool withFolders,
                                   bool withFiles) const
{
    NodeListing listing;
    const std::unique_ptr<protocol::Service> service = make(profile);
    if (withFolders) {
        listing.foldersAsked = true;
        listing.folderResult = service->getFolderList(profile.userId, folderPath, listing.folders);
        if (!listing.folderResult.succeeded()) {
            listing.folders.clear();
            return listing;
        }
    }
    if (withFiles) {
        listing.filesAsked = true;
        listing.fileResult = service->getFileList(profile.userId, folderPath, listing.files);
        if (!listing.fileResult.succeeded())
            listing.files.clear();
    }
    return listing;
}

protocol::CallResult ServiceCalls::rename(const protocol::ServerProfile &profile,
                                          const std::string &itemPath,
                                          const std::string &newName) const
{
    return make(profile)->rename(profile.userId, itemPath, newName);
}

protocol::CallResult ServiceCalls::createFolder(const protocol::ServerProfile &profile,
                                                const std::string &parentPath,
                                                const std::string &name, const std::string &comment,
                                                bool isPrivate) const
{
    return make(profile)->createFolder(profile.userId, parentPath, name, comment, isPrivate);
}

DeleteOutcome ServiceCalls::deleteItems(const protocol::ServerProfile &profile,
                                        const std::vector<std::string> &paths, bool purge) const
{
    DeleteOutcome outcome;
    const std::unique_ptr<protocol::Service> service = make(profile);
    for (const std::string &path : paths) {
        protocol::CallResult r = service->deleteItem(profile.userId, path, purge);
        if (!r.succeeded()) {
            outcome.failure = std::move(r);
            break;
        }
        outcome.deleted.push_back(path);
    }
    return outcome;
}

protocol::CallResult ServiceCalls::setWorkFolder(const protocol::ServerProfile &profile,
                                                 const std::string &folderPath,
                                                 const std::string &workFolder) const
{
    return make(profile)->setWorkFolderPath(profile.userId, folderPath, workFolder);
}

protocol::CallResult ServiceCalls::serverDelete(const protocol::ServerProfile &profile) const
{
    return make(profile)->serverDelete(profile.userId);
}

HistoryListing ServiceCalls::historyList(const protocol::ServerProfile &profile,
                                         const std::string &path, bool subFolders) const
{
    HistoryListing listing;
    listing.result = make(profile)->getHistoryList(profile.userId, path, subFolders, listing.items);
    if (!listing.result.succeeded())
        listing.items.clear();
    return listing;
}

protocol::CallResult ServiceCalls::rollBack(const protocol::ServerProfile &profile,
                                            const std::string &filePath, std::int32_t version) const
{
    return make(profile)->rollBack(profile.userId, filePath, version);
}

protocol::CallResult ServiceCalls::updateFolderComment(const protocol::ServerProfile &profile,
                                                       const std::string &folderPath,
                                                       const std::string &comment) const
{
    return make(profile)->updateComment(profile.userId, folderPath, 0, comment);
}

DeletedListing ServiceCalls::deletedList(const protocol::ServerProfile &profile,
                                         const std::string &folderPath) const
{
    DeletedListing listing;
    listing.result = make(profile)->getDeletedList(profile.userId, folderPath, listing.items);
    return listing;
}

protocol::CallResult ServiceCalls::recover(const protocol::ServerProfile &profile,
                                           const std::string &itemPath) const
{
    return make(profile)->repaire(profile.userId, itemPath);
}

} // namespace engine
