#include "fakeservice.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace enginetest {

using protocol::CallResult;

namespace {

std::string parentOf(const std::string &path)
{
    const std::size_t at = path.rfind('\\');
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string nameOf(const std::string &path)
{
    const std::size_t at = path.rfind('\\');
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string join(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "\\" + name;
}

std::optional<std::string> readLocal(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CallResult FakeService::message(const std::string &text)
{
    CallResult r;
    r.errorText = text;
    r.httpStatus = 500;
    return r;
}

CallResult FakeService::code(platform::ResultCode rc)
{
    CallResult r;
    r.code = rc;
    return r;
}

void FakeService::addFolder(const std::string &path, const std::string &workFolderPath)
{
    if (!m_folders.count(path)) {
        const std::string parent = parentOf(path);
        if (!m_folders.count(parent))
            addFolder(parent);
        m_folders[parent].folderOrder.push_back(nameOf(path));
        m_folders[path];
    }
    if (!workFolderPath.empty())
        m_folders[path].workFolderPath = workFolderPath;
}

void FakeService::addFile(const std::string &folderPath, const std::string &name,
                          const std::string &content)
{
    if (!m_folders.count(folderPath))
        addFolder(folderPath);
    FakeFolder &f = m_folders[folderPath];
    if (!f.files.count(name))
        f.order.push_back(name);
    f.files[name].content = content;
}

FakeFile *FakeService::file(const std::string &path)
{
    FakeFolder *f = folder(parentOf(path));
    if (f == nullptr)
        return nullptr;
    auto it = f->files.find(nameOf(path));
    return it == f->files.end() ? nullptr : &it->second;
}

FakeFolder *FakeService::folder(std::string_view path)
{
    auto it = m_folders.find(std::string(path));
    return it == m_folders.end() ? nullptr : &it->second;
}

std::vector<std::string> FakeService::callsOf(const std::string &operation) const
{
    std::vector<std::string> out;
    for (const std::string &c : m_calls)
        if (c.starts_with(operation + " ") || c == operation)
            out.push_back(c);
    return out;
}

void FakeService::failCall(int n, CallResult result)
{
    m_failCall[n] = std::move(result);
}

void FakeService::failOperation(const std::string &operation, int n, CallResult result)
{
    m_failOperation[{operation, n}] = std::move(result);
}

void FakeService::beforeCall(int n, std::function<void()> action)
{
    m_before[n] = std::move(action);
}

void FakeService::cancelInsideGetFile(int n, std::atomic<bool> *flag)
{
    m_cancelGetFile = n;
    m_cancelGetFileFlag = flag;
}

std::optional<CallResult> FakeService::enter(const std::string &operation,
                                             std::string_view argument)
{
    m_calls.push_back(operation + " " + std::string(argument));
    const int index = static_cast<int>(m_calls.size());
    const int nth = ++m_operationCount[operation];
    if (auto it = m_before.find(index); it != m_before.end())
        it->second();
    if (auto it = m_failCall.find(index); it != m_failCall.end())
        return it->second;
    if (auto it = m_failOperation.find({operation, nth}); it != m_failOperation.end())
        return it->second;
    // As the real client does: once the run is cancelled, no request goes out.
    if (m_cancel != nullptr && m_cancel->load())
        return code(platform::kCancelled);
    return std::nullopt;
}

CallResult FakeService::logon(std::string_view, std::string_view, std::string_view,
                              std::string_view, std::optional<std::string> &)
{
    if (auto r = enter("Logon", ""))
        return *r;
    return {};
}

CallResult FakeService::getFolderList(std::string_view, std::string_view parentPath,
                                      std::vector<protocol::FolderItem> &list)
{
    if (auto r = enter("GetFolderList", parentPath))
        return *r;
    FakeFolder *f = folder(parentPath);
    if (f == nullptr)
        return message("no such folder");
    for (const std::string &name : f->folderOrder) {
        protocol::FolderItem item;
        item.name = name;
        item.workFolderPath = m_folders[join(std::string(parentPath), name)].workFolderPath;
        list.push_back(item);
    }
    return {};
}

CallResult FakeService::getFileList(std::string_view, std::string_view parentPath,
                                    std::vector<protocol::FileItem> &list)
{
    if (auto r = enter("GetFileList", parentPath))
        return *r;
    FakeFolder *f = folder(parentPath);
    if (f == nullptr)
        return message("no such folder");
    for (const std::string &name : f->order) {
        const FakeFile &file = f->files[name];
        protocol::FileItem item;
        item.fileName = name;
        item.fileSize = static_cast<std::int64_t>(file.content.size());
        item.checkoutUser = file.checkoutUser;
        item.checkoutUserId = file.checkoutUserId;
        item.checkoutPath = file.checkoutPath;
        item.ipAddress = file.ipAddress;
        list.push_back(item);
    }
    return {};
}

CallResult FakeService::getHistoryList(std::string_view, std::string_view, bool,
                                       std::vector<protocol::HistoryItem> &)
{
    return enter("GetHistoryList", "").value_or(CallResult{});
}

CallResult FakeService::getDeletedList(std::string_view, std::string_view,
                                       std::vector<protocol::DeletedItem> &)
{
    return enter("GetDeletedList", "").value_or(CallResult{});
}

CallResult FakeService::getItemCount(std::string_view, std::string_view path, bool subFolders,
                                     std::int64_t &count)
{
    if (auto r = enter("GetItemCount", path))
        return *r;
    count = 0;
    const std::string base(path);
    for (const auto &[p, f] : m_folders) {
        const bool inside =
            p == base || (subFolders && (base.empty() || p.starts_with(base + "\\")));
        if (inside)
            count += static_cast<std::int64_t>(f.files.size());
    }
    return {};
}

CallResult FakeService::createFolder(std::string_view, std::string_view parentPath,
                                     std::string_view folderName, std::string_view, bool)
{
    const std::string path = join(std::string(parentPath), std::string(folderName));
    if (auto r = enter("CreateFolder", path))
        return *r;
    if (m_folders.count(path))
        return message("already exists");
    addFolder(path);
    return {};
}

CallResult FakeService::rename(std::string_view, std::string_view, std::string_view)
{
    return enter("Rename", "").value_or(CallResult{});
}

CallResult FakeService::move(std::string_view, std::string_view itemPath,
                             std::string_view destinationPath)
{
    if (auto r = enter("Move", std::string(itemPath) + " -> " + std::string(destinationPath)))
        return *r;
    const std::string item(itemPath);
    if (FakeFile *f = file(item)) {
        FakeFile copy = *f;
        folder(parentOf(item))->files.erase(nameOf(item));
        auto &order = folder(parentOf(item))->order;
        order.erase(std::remove(order.begin(), order.end(), nameOf(item)), order.end());
        addFile(std::string(destinationPath), nameOf(item), copy.content);
        return {};
    }
    if (m_folders.count(item)) {
        addFolder(join(std::string(destinationPath), nameOf(item)));
        return {};
    }
    return message("no such item");
}

CallResult FakeService::deleteItem(std::string_view, std::string_view, bool)
{
    return enter("Delete", "").value_or(CallResult{});
}
CallResult FakeService::repaire(std::string_view, std::string_view)
{
    return enter("Repaire", "").value_or(CallResult{});
}
CallResult FakeService::rollBack(std::string_view, std::string_view, std::int32_t)
{
    return enter("RollBack", "").value_or(CallResult{});
}
CallResult FakeService::setWorkFolderPath(std::string_view, std::string_view, std::string_view)
{
    return enter("SetWorkFolderPath", "").value_or(CallResult{});
}
CallResult FakeService::updateComment(std::string_view, std::string_view, std::int32_t,
                                      std::string_view)
{
    return enter("UpdateComment", "").value_or(CallResult{});
}
CallResult FakeService::serverDelete(std::string_view)
{
    return enter("ServerDelete", "").value_or(CallResult{});
}

CallResult FakeService::addFile(std::string_view, std::string_view serverFolderPath,
                                std::string_view fileName, const std::filesystem::path &localFile,
                                std::string_view)
{
    if (auto r = enter("AddFile", join(std::string(serverFolderPath), std::string(fileName))))
        return *r;
    if (m_cancel != nullptr && m_cancel->load())
        return code(platform::kCancelled);
    const auto content = readLocal(localFile);
    if (!content)
        return code(platform::fromWin32(platform::err::FileNotFound));
    FakeFolder *f = folder(serverFolderPath);
    if (f == nullptr)
        return message("no such folder");
    if (f->files.count(std::string(fileName)))
        return message("already exists");
    addFile(std::string(serverFolderPath), std::string(fileName), *content);
    return {};
}

CallResult FakeService::checkin(std::string_view, std::string_view serverFilePath, std::string_view,
                                const std::filesystem::path &localFile)
{
    if (auto r = enter("Checkin", serverFilePath))
        return *r;
    if (m_cancel != nullptr && m_cancel->load())
        return code(platform::kCancelled);
    FakeFile *f = file(std::string(serverFilePath));
    if (f == nullptr)
        return message("no such file");
    if (f->checkoutUserId.empty())
        return message("not checked out");
    const auto content = readLocal(localFile);
    if (!content)
        return code(platform::fromWin32(platform::err::FileNotFound));
    f->versions.push_back(f->content);
    f->content = *content;
    f->checkoutUser.clear();
    f->checkoutUserId.clear();
    f->checkoutPath.clear();
    f->ipAddress.clear();
    return {};
}

CallResult FakeService::getFile(std::string_view, std::string_view serverFilePath,
                                std::int32_t version, const std::filesystem::path &localFile)
{
    if (auto r = enter("GetFile", std::string(serverFilePath) + " " + std::to_string(version)))
        return *r;
    const int nth = m_operationCount["GetFile"];
    if (m_cancel != nullptr && m_cancel->load())
        return code(platform::kCancelled);
    FakeFile *f = file(std::string(serverFilePath));
    if (f == nullptr)
        return message("no such file");
    std::string content = f->content;
    if (version > 0) {
        if (static_cast<std::size_t>(version) > f->versions.size() + 1)
            return message("no such version");
        if (static_cast<std::size_t>(version) <= f->versions.size())
            content = f->versions[static_cast<std::size_t>(version) - 1];
    }
    std::ofstream out(localFile, std::ios::binary | std::ios::trunc);
    if (!out)
        return code(platform::fromWin32(platform::err::AccessDenied));
    if (m_sink != nullptr)
        m_sink->subTotal(static_cast<std::int64_t>(content.size()));
    if (nth == m_cancelGetFile && m_cancelGetFileFlag != nullptr) {
        out << content.substr(0, content.size() / 2);
        m_cancelGetFileFlag->store(true);
        return code(platform::kCancelled);
    }
    out << content;
    if (m_sink != nullptr)
        m_sink->subPosition(static_cast<std::int64_t>(content.size()));
    return {};
}

CallResult FakeService::checkOut(std::string_view userId, std::string_view serverFilePath,
                                 std::string_view localFilePath)
{
    if (auto r = enter("CheckOut", serverFilePath))
        return *r;
    if (m_cancel != nullptr && m_cancel->load())
        return code(platform::kCancelled);
    FakeFile *f = file(std::string(serverFilePath));
    if (f == nullptr)
        return message("no such file");
    if (!f->checkoutUserId.empty() && f->checkoutUserId != userId)
        return message("checked out by someone else");
    f->checkoutUserId = userId;
    f->checkoutUser = userName;
    f->checkoutPath = localFilePath;
    return {};
}

CallResult FakeService::checkoutCancel(std::string_view userId, std::string_view serverFilePath)
{
    if (auto r = enter("CheckoutCancel", serverFilePath))
        return *r;
    if (m_cancel != nullptr && m_cancel->load())
        return code(platform::kCancelled);
    FakeFile *f = file(std::string(serverFilePath));
    if (f == nullptr)
        return message("no such file");
    if (f->checkoutUserId.empty())
        return message("not checked out");
    if (f->checkoutUserId != userId)
        return message("checked out by someone else");
    f->checkoutUser.clear();
    f->checkoutUserId.clear();
    f->checkoutPath.clear();
    f->ipAddress.clear();
    return {};
}

} // namespace enginetest
