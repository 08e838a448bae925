#include "servertestsupport.h"

#include <httplib.h>
#include <pugixml.hpp>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace servertest {

static const std::string kNamespace = "http://quellvane.example/webservices/";

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ravelind-server-XXXXXX");
    if (!mkdtemp(pattern.data()))
        std::abort();
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(const std::filesystem::path &dataDir,
                          const std::vector<std::string> &extra)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    std::vector<std::string> arguments = {RAVELIND_SERVER_PATH, "--data", dataDir.string(),
                                          "--port", "0"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    m_pid = fork();
    if (m_pid == 0) {
        for (const auto &[name, text] : m_environment)
            setenv(name.c_str(), text.c_str(), 1);
        if (m_fileSizeLimit >= 0) {
            // Ignored signals stay ignored across exec, so EFBIG comes back instead.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(m_fileSizeLimit),
                               static_cast<rlim_t>(m_fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    m_output = pipeEnds[0];
    if (m_pid < 0)
        return false;
    // Generous: a sanitizer build starts slowly. This only guards against a hang.
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd fd{m_output, POLLIN, 0};
        if (poll(&fd, 1, 30000) <= 0)
            return false;
        char buffer[256];
        const ssize_t got = read(m_output, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    m_firstLine = line.substr(0, line.find('\n'));
    const auto space = m_firstLine.rfind(' ');
    m_port = std::atoi(m_firstLine.c_str() + space + 1);
    return m_firstLine.rfind("ravelind-server listening on ", 0) == 0 && m_port > 0;
}

int ServerProcess::stop(int signal)
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, signal);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (m_output >= 0)
        close(m_output);
    m_output = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ServerProcess::waitForEnd(int timeoutSeconds, int &killedBy)
{
    if (m_pid <= 0)
        return false;
    for (int waited = 0; waited < timeoutSeconds * 100; ++waited) {
        int status = 0;
        const pid_t got = waitpid(m_pid, &status, WNOHANG);
        if (got == m_pid) {
            killedBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            m_pid = -1;
            if (m_output >= 0)
                close(m_output);
            m_output = -1;
            return true;
        }
        usleep(10000);
    }
    return false;
}

void ServerProcess::setEnvironment(const std::string &name, const std::string &value)
{
    m_environment.emplace_back(name, value);
}

static void appendEscaped(std::string &out, const std::string &text)
{
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
}

std::string envelope(const std::string &operation, const Elements &elements,
                     const std::string &rawTail)
{
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                       "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                       "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>";
    body += "<" + operation + " xmlns=\"" + kNamespace + "\">";
    for (const auto &[name, text] : elements) {
        if (name == "#raw") {
            body += text;
            continue;
        }
        body += "<" + name + ">";
        appendEscaped(body, text);
        body += "</" + name + ">";
    }
    body += rawTail;
    body += "</" + operation + "></soap:Body></soap:Envelope>";
    return body;
}

std::string soapAction(const std::string &operation)
{
    return "\"" + kNamespace + operation + "\"";
}

std::string clientBase64(const std::string &bytes)
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    std::size_t groups = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
        if (++groups % 19 == 0)
            text += "\r\n";
    }
    return text;
}

SoapClient::SoapClient(int port, const ClientOptions &options)
{
    const std::string scheme = options.tls ? "https" : "http";
    m_client = std::make_unique<httplib::Client>(scheme + "://127.0.0.1:" + std::to_string(port));
    m_client->set_keep_alive(true);
    m_client->set_tcp_nodelay(true);
    m_client->set_read_timeout(options.timeoutSeconds);
    m_client->set_write_timeout(options.timeoutSeconds);
    if (options.tls) {
        m_client->set_ca_cert_path(options.caFile);
        m_client->enable_server_certificate_verification(true);
    }
    if (!options.user.empty())
        m_client->set_basic_auth(options.user, options.password);
}

SoapClient::~SoapClient() = default;

static Reply toReply(const httplib::Result &result)
{
    Reply reply;
    if (!result)
        return reply;
    reply.status = result->status;
    reply.body = result->body;
    for (const auto &[name, text] : result->headers)
        reply.headers[name] = text;
    return reply;
}

Reply SoapClient::post(const std::string &body, const std::string &action, const std::string &path)
{
    httplib::Headers headers;
    if (!action.empty())
        headers.emplace("SOAPAction", action);
    return toReply(m_client->Post(path.c_str(), headers, body, "text/xml; charset=utf-8"));
}

void SoapClient::disconnect()
{
    m_client->stop();
}

Reply SoapClient::get(const std::string &path)
{
    return toReply(m_client->Get(path.c_str()));
}

Reply SoapClient::call(const std::string &operation, const Elements &elements)
{
    return post(envelope(operation, elements), soapAction(operation));
}

std::string SoapClient::logon(const std::string &logonUser)
{
    const Reply reply = call("Logon", {{"UserID", ""},
                                       {"PC", "pc-" + logonUser},
                                       {"LogonUserID", logonUser},
                                       {"IPAddress", "10.1.2.3"}});
    return value(reply.body, "LogonResponse/LogonResult").value_or("");
}

Reply SoapClient::uploadChunk(const std::string &operation, const Elements &head,
                              const std::string &fileId, const std::string &piece, bool last,
                              const std::string &comment)
{
    Elements elements = head;
    elements.emplace_back("UpdateTime", "2026/11/30 08:15:00");
    elements.emplace_back("Comment", comment);
    elements.emplace_back("FileID", fileId);
    elements.emplace_back("#raw", "<Data><string>" + clientBase64(piece) + "</string></Data>");
    elements.emplace_back("bLast", last ? "true" : "false");
    return post(envelope(operation, elements), soapAction(operation));
}

Reply SoapClient::upload(const std::string &operation, const Elements &head,
                         const std::string &content, const std::string &comment,
                         std::size_t chunkBytes)
{
    std::string fileId;
    std::size_t sent = 0;
    Reply reply;
    do {
        const std::string piece = content.substr(sent, chunkBytes);
        sent += piece.size();
        reply = uploadChunk(operation, head, fileId, piece, sent == content.size(), comment);
        if (reply.status != 200)
            return reply;
        fileId = value(reply.body, operation + "Response/" + operation + "Result").value_or("");
    } while (sent < content.size());
    return reply;
}

Reply SoapClient::addFile(const std::string &user, const std::string &folder,
                          const std::string &name, const std::string &content,
                          const std::string &comment, std::size_t chunkBytes)
{
    return upload("AddFile", {{"UserID", user}, {"SelectPath", folder}, {"AddFileName", name}},
                  content, comment, chunkBytes);
}

Reply SoapClient::checkin(const std::string &user, const std::string &path,
                          const std::string &content, const std::string &comment,
                          std::size_t chunkBytes)
{
    return upload("Checkin", {{"UserID", user}, {"ServerFilePath", path}}, content, comment,
                  chunkBytes);
}

static bool decode(const std::string &text, std::string &out)
{
    int buffer = 0;
    int bits = 0;
    for (char c : text) {
        int v = -1;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=' || c == '\r' || c == '\n')
            continue;
        else
            return false;
        buffer = (buffer << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return true;
}

std::optional<std::string> SoapClient::getFile(const std::string &user, const std::string &path,
                                               int version, std::string *failure)
{
    std::string content;
    long long offset = 0;
    for (;;) {
        const Reply reply = call("GetFile", {{"UserID", user},
                                             {"FilePath", path},
                                             {"Version", std::to_string(version)},
                                             {"Offset", std::to_string(offset)}});
        const auto fail = [&](const std::string &why) {
            if (failure)
                *failure = "GetFile at offset " + std::to_string(offset) + ": " + why;
            return std::nullopt;
        };
        if (reply.status != 200)
            return fail(describe("GetFile", reply));
        pugi::xml_document document;
        if (!document.load_string(reply.body.c_str()))
            return fail("the answer is not XML");
        const pugi::xml_node result =
            document.first_element_by_path("soap:Envelope/soap:Body/GetFileResponse/GetFileResult");
        for (pugi::xml_node piece : result.child("Data").children()) {
            if (!decode(piece.text().get(), content))
                return fail("the data is not base64");
        }
        const long long size = result.child("Size").text().as_llong();
        if (size <= 0)
            return content;
        offset += size;
    }
}

std::optional<std::string> value(const std::string &body, const std::string &path)
{
    pugi::xml_document document;
    if (!document.load_string(body.c_str()))
        return std::nullopt;
    const pugi::xml_node node =
        document.first_element_by_path(("soap:Envelope/soap:Body/" + path).c_str());
    if (!node)
        return std::nullopt;
    return std::string(node.text().get());
}

std::string faultString(const std::string &body)
{
    return value(body, "soap:Fault/faultstring").value_or("<no fault>");
}

std::string describe(const std::string &operation, const Reply &reply)
{
    if (reply.status == 0)
        return operation + ": no answer (the exchange failed)";
    return operation + ": status " + std::to_string(reply.status) + ", " + faultString(reply.body);
}

std::vector<std::map<std::string, std::string>> rows(const std::string &body,
                                                     const std::string &path)
{
    std::vector<std::map<std::string, std::string>> result;
    pugi::xml_document document;
    if (!document.load_string(body.c_str()))
        return result;
    const pugi::xml_node node =
        document.first_element_by_path(("soap:Envelope/soap:Body/" + path).c_str());
    for (pugi::xml_node row : node.children()) {
        std::map<std::string, std::string> fields;
        for (pugi::xml_node field : row.children())
            fields[field.name()] = field.text().get();
        result.push_back(fields);
    }
    return result;
}

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

bool makeCertificates(const std::filesystem::path &dir)
{
    const std::string d = dir.string();
    const std::string script =
        "cd '" + d +
        "' && "
        "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
        "-subj '/CN=Ravelind test CA' >/dev/null 2>&1 && "
        "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
        "-subj '/CN=127.0.0.1' >/dev/null 2>&1 && "
        "printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > ext.cnf && "
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
        "-out server.pem -days 2 -extfile ext.cnf >/dev/null 2>&1";
    return std::system(script.c_str()) == 0;
}

} // namespace servertest
