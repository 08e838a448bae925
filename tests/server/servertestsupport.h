#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace httplib {
class Client;
}

namespace servertest {

// A fresh temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// ravelind-server run as a child process on port 0; the port is read from the first
// line of its output, as scripts do.
class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // Starts with --data dataDir --port 0 and the extra arguments; false when no
    // "listening" line came. firstLine receives that line.
    bool start(const std::filesystem::path &dataDir, const std::vector<std::string> &extra = {});
    // Sends the signal (SIGTERM by default) and waits; returns the exit status (-1 when
    // it did not exit normally).
    int stop(int signal = 15);
    // Waits up to timeoutSeconds for the process to end by itself; true when it did,
    // with killedBy set to the signal that ended it (0 for a normal exit).
    bool waitForEnd(int timeoutSeconds, int &killedBy);
    // Set before start(): an environment variable for the child, and its RLIMIT_FSIZE
    // (writes beyond it fail with EFBIG, as on a full disk).
    void setEnvironment(const std::string &name, const std::string &value);
    void setFileSizeLimit(long long bytes) { m_fileSizeLimit = bytes; }
    int port() const { return m_port; }
    const std::string &firstLine() const { return m_firstLine; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
    long long m_fileSizeLimit = -1;
    std::vector<std::pair<std::string, std::string>> m_environment;
    int m_output = -1;
    std::string m_firstLine;
};

struct Reply
{
    int status = 0;
    std::string body;
    std::map<std::string, std::string> headers;
};

using Elements = std::vector<std::pair<std::string, std::string>>;

// Builds a request envelope the way the client writes it: exact prolog, three
// namespace declarations, values escaped for &, < and >, no whitespace.
std::string envelope(const std::string &operation, const Elements &elements,
                     const std::string &rawTail = {});
std::string soapAction(const std::string &operation);
// Base64 as the client writes it: lines of 76 characters separated by CR LF.
std::string clientBase64(const std::string &bytes);

struct ClientOptions
{
    bool tls = false;
    std::string caFile;
    std::string user;
    std::string password;
    int timeoutSeconds = 120; // per read and per write
};

// One keep-alive HTTP(S) connection to a ServerProcess.
class SoapClient
{
public:
    explicit SoapClient(int port, const ClientOptions &options = {});
    ~SoapClient();
    SoapClient(const SoapClient &) = delete;
    SoapClient &operator=(const SoapClient &) = delete;

    Reply call(const std::string &operation, const Elements &elements);
    // Posts body as it stands; status 0 when the exchange itself failed.
    Reply post(const std::string &body, const std::string &action,
               const std::string &path = "/Service.asmx");
    Reply get(const std::string &path);
    // Closes the kept-alive connection; the next call opens a new one.
    void disconnect();

    // Logs on with an empty ID as logonUser and returns the ID the service gave.
    std::string logon(const std::string &logonUser);
    // Uploads content in chunks of chunkBytes (the client's 120000 by default),
    // threading FileIDs; returns the last reply.
    Reply addFile(const std::string &user, const std::string &folder, const std::string &name,
                  const std::string &content, const std::string &comment = "c",
                  std::size_t chunkBytes = 120000);
    Reply checkin(const std::string &user, const std::string &path, const std::string &content,
                  const std::string &comment = "c", std::size_t chunkBytes = 120000);
    // One upload chunk as the client sends it: head elements, then UpdateTime, Comment,
    // FileID, Data and bLast.
    Reply uploadChunk(const std::string &operation, const Elements &head, const std::string &fileId,
                      const std::string &piece, bool last, const std::string &comment = "c");
    // Downloads a version chunk by chunk until Size 0; nullopt on any failure, with
    // failure (when given) saying which chunk failed and how.
    std::optional<std::string> getFile(const std::string &user, const std::string &path,
                                       int version = -1, std::string *failure = nullptr);

private:
    Reply upload(const std::string &operation, const Elements &head, const std::string &content,
                 const std::string &comment, std::size_t chunkBytes);

    std::unique_ptr<httplib::Client> m_client;
};

// Answer readers, by element path below soap:Body, as the client's reader does.
std::optional<std::string> value(const std::string &body, const std::string &path);
std::string faultString(const std::string &body);
// "<operation>: status <n>, <fault text>", for a test's failure message.
std::string describe(const std::string &operation, const Reply &reply);
// The rows of a list result, each as a map from field name to text.
std::vector<std::map<std::string, std::string>> rows(const std::string &body,
                                                     const std::string &path);

// A body of deterministic pseudo-random bytes.
std::string randomBytes(std::size_t size, unsigned seed);

// Runs openssl to make a CA and a server certificate for 127.0.0.1 in dir; returns
// false when openssl is not available.
bool makeCertificates(const std::filesystem::path &dir);

} // namespace servertest
