#include "serverprocess.h"

#include <fstream>
#include <iterator>
#include <random>

namespace integration {

protocol::ServerProfile localProfile(int port, const std::string &userName,
                                     const std::string &password)
{
    protocol::ServerProfile profile;
    profile.name = "integration";
    profile.server = "127.0.0.1";
    profile.url = "/Service.asmx";
    profile.port = static_cast<std::uint16_t>(port);
    profile.userName = userName;
    profile.password = password;
    profile.timeout = 30;
    return profile;
}

std::string readFileBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string randomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    for (char &c : bytes)
        c = static_cast<char>(byte(engine));
    return bytes;
}

} // namespace integration
