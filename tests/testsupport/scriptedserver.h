#pragma once

// An in-process HTTP/1.1 server on the loopback interface for transport and operation tests.
// It answers from a script (a queue of replies, or a handler), keeps connections alive, and
// records every request byte for byte. Optional TLS with a certificate the test made.

#include <protocol/records.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

struct CapturedRequest
{
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // in the order received
    std::string head;   // request line and headers, exactly as received (with CR LF)
    std::string body;   // exactly the body bytes
    int connection = 0; // 0 for the first connection accepted, 1 for the next, ...

    // The value of the first header with this name (case-insensitive), if any.
    std::optional<std::string> header(std::string_view name) const;
    int headerCount(std::string_view name) const;
};

struct ScriptedReply
{
    enum class Mode {
        Normal,           // status line, headers (Content-Length added), body
        Raw,              // `raw` sent as it stands, then the connection is closed
        NoAnswer,         // read the request, then say nothing until the server stops
        DropHalfway,      // promise the whole body, send half of it, close
        CloseImmediately, // close the connection without a byte
        Trickle,          // like Normal, but sent in `pieces` parts `pause` apart
    };

    int status = 200;
    std::string reason = "OK";
    std::string httpVersion = "HTTP/1.1"; // of the status line, e.g. "HTTP/1.0" as old hosts
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Mode mode = Mode::Normal;
    std::string raw;
    bool closeAfter = false; // add "Connection: close" and close after this reply
    // Queued replies only: answer as soon as the request head is in, as servers do that
    // refuse a request early; the body is then read and thrown away, and the connection
    // closed. The captured body holds what had arrived before the answer.
    bool answerBeforeBody = false;
    int pieces = 1;
    std::chrono::milliseconds pause{0};

    // A 200 (or other) answer with a text/xml body.
    static ScriptedReply xml(std::string body, int status = 200, std::string reason = "OK");
    // A SOAP envelope whose body holds `inner`, with the service's prolog.
    static ScriptedReply soap(std::string_view inner, int status = 200, std::string reason = "OK");
    static ScriptedReply text(int status, std::string reason, std::string body);
    static ScriptedReply withMode(Mode mode);
};

// "<?xml ...?><soap:Envelope ...><soap:Body>" + inner + "</soap:Body></soap:Envelope>".
std::string soapEnvelope(std::string_view inner);

struct TlsFiles
{
    std::filesystem::path caCert;     // the CA the test trusts (RAVELIND_CA_FILE)
    std::filesystem::path serverCert; // for 127.0.0.1 and localhost, signed by the CA
    std::filesystem::path serverKey;
};

// Makes a CA and a server certificate in `dir` with the openssl command; nullopt when that
// fails (the message goes to `error`).
std::optional<TlsFiles> makeTestCertificates(const std::filesystem::path &dir, std::string &error);

class ScriptedServer
{
public:
    using Handler = std::function<ScriptedReply(const CapturedRequest &)>;

    // Plain HTTP, or HTTPS when `tls` is given. Binds 127.0.0.1 on a free port.
    explicit ScriptedServer(std::optional<TlsFiles> tls = std::nullopt);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    bool isListening() const { return m_listenFd >= 0; }
    std::uint16_t port() const { return m_port; }

    // Replies used in order, one per request; when the queue is empty the handler answers,
    // and without a handler a 500 "No scripted reply".
    void enqueue(ScriptedReply reply);
    void setHandler(Handler handler);

    std::vector<CapturedRequest> requests() const;
    int connectionCount() const;
    // Blocks until `count` requests have arrived or `limit` has passed; true when they did.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit) const;

    // A profile pointing at this server (object path "/service.asmx", timeout in seconds).
    protocol::ServerProfile profile(std::uint32_t timeoutSeconds = 5) const;

private:
    struct Connection;
    void acceptLoop();
    void serve(std::shared_ptr<Connection> connection);
    ScriptedReply nextReply(const CapturedRequest &request);

    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::uint16_t m_port = 0;
    bool m_tls = false;
    void *m_sslCtx = nullptr; // SSL_CTX, freed in the destructor

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<ScriptedReply> m_queue;
    std::size_t m_next = 0;
    Handler m_handler;
    std::vector<CapturedRequest> m_requests;
    int m_connections = 0;
    std::vector<std::shared_ptr<Connection>> m_open;
    struct Threads;
    std::unique_ptr<Threads> m_threads;
};

} // namespace testsupport
