#include "demoseed.h"
#include "httpfrontend.h"
#include "repository.h"
#include "serveroptions.h"
#include "soapservice.h"
#include "sqlitedatabase.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <pthread.h>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string osUserName()
{
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_name)
        return entry->pw_name;
    return {};
}

// Drops idle upload sessions now and then until told to stop.
class UploadJanitor
{
public:
    explicit UploadJanitor(server::Repository &repository)
        : m_thread([this, &repository] { run(repository); })
    {
    }
    ~UploadJanitor()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void run(server::Repository &repository)
    {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::seconds(30), [this] { return m_stop; })) {
            lock.unlock();
            try {
                repository.dropExpiredUploads();
            } catch (const server::StorageError &e) {
                std::cerr << "ravelind-server: " << e.what() << std::endl;
            }
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::cout << server::ServerOptions::usage();
            return 0;
        }
    }
    server::ServerOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error,
                       std::getenv("RAVELIND_SERVER_USERS"))) {
        if (!error.empty())
            std::cerr << "ravelind-server: " << error << "\n";
        std::cerr << server::ServerOptions::usage();
        return 2;
    }

    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--user") {
            std::cerr << "ravelind-server: --user shows its password to every local user; "
                         "--users-file or RAVELIND_SERVER_USERS keep it private\n";
            break;
        }
    }

    // SIGINT and SIGTERM are taken by one thread with sigwait, so every other thread,
    // including cpp-httplib's workers, inherits the blocked mask (pthread_sigmask(3)).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // The store holds what users check in and, in the users file, passwords: every
    // folder and file the service makes is its own user's only.
    ::umask(077);

    std::unique_ptr<server::Repository> repository;
    bool seeded = false;
    try {
        const char *crashPoint = std::getenv("RAVELIND_SERVER_CRASH_AT");
        repository = std::make_unique<server::Repository>(server::Repository::Settings{
            options.dataDir, options.uploadTimeoutSeconds, crashPoint ? crashPoint : "",
            options.maxUploadBytes, options.maxPendingBytes});
        if (options.seedDemo && repository->isEmpty()) {
            if (!server::DemoSeed::seed(*repository, osUserName(), error)) {
                std::cerr << "ravelind-server: the demo repository is incomplete: " << error
                          << "\n";
            }
            seeded = true;
        }
    } catch (const std::exception &e) {
        // StorageError, or a filesystem_error while making the folders.
        std::cerr << "ravelind-server: cannot open the data folder " << options.dataDir << ": "
                  << e.what() << "\n";
        return 1;
    }

    server::SoapService service(*repository, options.chunkBytes, !options.users.empty());
    server::HttpFrontEnd frontEnd(
        service, server::HttpFrontEnd::Settings{options.bindAddress, options.port, options.users,
                                                options.tlsCertificate, options.tlsKey,
                                                options.requestTimeoutSeconds});
    const int port = frontEnd.bind(error);
    if (port < 0) {
        std::cerr << "ravelind-server: " << error << "\n";
        return 1;
    }
    std::cout << "ravelind-server listening on " << options.bindAddress << " port " << port
              << std::endl;
    std::cout << "data folder " << options.dataDir << std::endl;
    if (options.seedDemo)
        std::cout << (seeded ? "demo repository seeded" : "data folder not empty: demo not seeded")
                  << std::endl;

    std::atomic<bool> finished = false;
    std::thread signalWaiter([&frontEnd, &stopSignals, &finished] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        // A stop that comes before the server loop has started is lost, so keep asking.
        while (!finished) {
            frontEnd.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    bool served = false;
    {
        UploadJanitor janitor(*repository);
        served = frontEnd.serve();
    }
    finished = true;
    // serve() may also end on its own; wake the waiter so it can be joined.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return served ? 0 : 1;
}
