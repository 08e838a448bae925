#include "config/tipreader.h"

#include <ctime>
#include <limits>

#include <sys/stat.h>

namespace config {

std::string ctimeText(std::int64_t time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    char buffer[64] = {};
    if (ctime_r(&t, buffer) == nullptr)
        return {};
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t' ||
                             text.back() == '\r'))
        text.pop_back();
    return text;
}

TipReader::TipReader() = default;
TipReader::~TipReader() = default;

TipReader::Opened TipReader::open(const std::filesystem::path &path, std::uint64_t position,
                                  const std::string &storedTimeStamp)
{
    m_fileOwner.reset();
    m_file = nullptr;
    m_timeStampChanged = false;
    // Binary mode: offsets are byte offsets, and the reader drops the CR of a CR LF itself.
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return Opened::No;
    m_fileOwner.reset(f);
    m_file = f;

    struct stat st = {};
    m_timeStamp = ::fstat(fileno(f), &st) == 0 ? ctimeText(st.st_mtime) : std::string();
    if (m_timeStamp != storedTimeStamp) {
        m_timeStampChanged = true;
        position = 0;
    }
    if (position > static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
        std::fseek(f, static_cast<long>(position), SEEK_SET) != 0)
        return Opened::SeekFailed;
    return Opened::Yes;
}

std::uint64_t TipReader::position() const
{
    if (m_file == nullptr)
        return 0;
    const long at = std::ftell(m_file);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

bool TipReader::readPiece(std::string &piece)
{
    piece.clear();
    int c = 0;
    while (piece.size() < kPieceBytes - 1 && (c = std::fgetc(m_file)) != EOF) {
        if (c == '\r') {
            const int following = std::fgetc(m_file);
            if (following == '\n') {
                c = '\n';
            } else if (following != EOF) {
                std::ungetc(following, m_file);
            }
        }
        piece.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !piece.empty();
}

TipReader::Next TipReader::next(std::string &tip)
{
    tip.clear();
    if (m_file == nullptr)
        return Next::NotOpen;
    // One rewind at most: a second end of file without a tip means there is none at all.
    bool rewound = false;
    std::string piece;
    for (;;) {
        if (!readPiece(piece)) {
            if (rewound)
                return Next::NoTips;
            rewound = true;
            std::clearerr(m_file);
            if (std::fseek(m_file, 0, SEEK_SET) != 0)
                return Next::RewindFailed;
            continue;
        }
        const char first = piece.front();
        if (first == '\t' || first == '\n' || first == ' ' || first == ';')
            continue;
        tip = std::move(piece);
        return Next::Tip;
    }
}

} // namespace config
