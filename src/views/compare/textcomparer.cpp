// Line comparison after E. W. Myers, "An O(ND) Difference Algorithm and Its Variations"
// (Algorithmica 1, 1986), in its linear-space variant that bisects each range at the middle
// snake. The additions follow GNU diff (analyze.c, io.c; read as a reference, written anew):
// identical prefix and suffix trimming, equivalence classes of lines by hash, discarding of
// confusing lines, a cost cut-off near the square root of the input size, and a final pass
// that shifts change boundaries. The search has no other heuristic, and the top-level search
// is never asked for a minimal script.

#include "textcomparer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

namespace compare {

namespace {

using Line = std::int32_t;

// Both files' compared lines together, plus the three spare diagonals, must fit a Line.
constexpr std::size_t kMaxTotalLines = std::numeric_limits<Line>::max() - 8;

std::uint64_t loadWord(const char *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Hash of one line, eight bytes at a time, and the position of its line feed. Reads whole
// words, possibly past the line feed: the buffer holds eight zero bytes after the data's last
// line feed, so no read leaves it. Any hash gives the same classes (lines are compared byte by
// byte when hashes meet); this one only has to be fast and spread well.
std::uint32_t hashLine(const char *p, const char *&lineFeed)
{
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15u;
    std::uint64_t h = 0;
    const char *const start = p;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        constexpr std::uint64_t kHigh = 0x8080808080808080u;
        constexpr std::uint64_t kLineFeeds = kOnes * '\n';
        for (;;) {
            const std::uint64_t word = loadWord(p);
            const std::uint64_t x = word ^ kLineFeeds;
            // The lowest set high bit marks the first line feed exactly; bits above it may be
            // false alarms from the borrow, and are never looked at.
            const std::uint64_t found = (x - kOnes) & ~x & kHigh;
            if (found != 0) {
                const unsigned bytes = static_cast<unsigned>(std::countr_zero(found)) >> 3;
                if (bytes != 0)
                    h = std::rotl((h ^ (word & (~std::uint64_t{0} >> (64 - 8 * bytes)))) * kMul,
                                  29);
                p += bytes;
                break;
            }
            h = std::rotl((h ^ word) * kMul, 29);
            p += 8;
        }
    } else {
        for (; *p != '\n'; ++p)
            h = std::rotl((h ^ static_cast<unsigned char>(*p)) * kMul, 29);
    }
    lineFeed = p;
    h = (h ^ static_cast<std::uint64_t>(p - start)) * kMul;
    return static_cast<std::uint32_t>(h >> 32);
}

// One slot of the open-addressing class table; class 0 marks a free slot.
struct ClassSlot
{
    std::uint32_t hash;
    Line code;
};

// The first line of a class, which later lines are compared with.
struct ClassLine
{
    const char *line;
    std::size_t length; // without the line feed
};

// Lines whose slot is fetched ahead of their lookup: far enough to hide a cache miss, near
// enough that the slot is still cached when it is read.
constexpr std::size_t kPrefetchLines = 16;

struct Side
{
    char *buf = nullptr;
    std::size_t size = 0; // text bytes, appended line feed included
    bool missingNewline = false;
    std::size_t prefixEnd = 0;
    std::size_t suffixBegin = 0;
    std::size_t lineHint = 0;       // about the file's line count, for sizing tables
    Line lines = 0;                 // lines between the identical prefix and suffix
    std::vector<Line> equivCodes;   // class of each of those lines
    std::vector<Line> undiscarded;  // classes of the lines kept for the search
    std::vector<Line> realIndexes;  // index in equivCodes of each kept line
    std::vector<char> changedStore; // flags with zero bytes before and after
    char *changed = nullptr;        // changedStore + 1, so changed[-1] and changed[lines] are 0
};

struct Partition
{
    Line xmid;
    Line ymid;
    bool loMinimal;
    bool hiMinimal;
};

class Comparison
{
public:
    Comparison(FileImage &image0, FileImage &image1, const std::atomic<bool> *cancel,
               Line costFloor)
        : m_cancel(cancel)
        , m_costFloor(costFloor)
    {
        FileImage *images[2] = {&image0, &image1};
        for (int f = 0; f < 2; ++f) {
            m_side[f].buf = images[f]->data();
            m_side[f].size = images[f]->size();
            m_side[f].missingNewline = images[f]->missingNewline();
            // The hint counts the whole file; the tables only hold the lines between the
            // identical prefix and suffix, so it is scaled once those are known.
            m_side[f].lineHint = images[f]->lineCountHint();
        }
    }

    CompareStatus run(EditScript &script);

private:
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    void findIdenticalEnds();
    bool hashLines();
    void discardConfusingLines();
    bool compareSeq(Line xoff, Line xlim, Line yoff, Line ylim, bool minimal);
    bool diag(Line xoff, Line xlim, Line yoff, Line ylim, bool minimal, Partition &part);
    void shiftBoundaries();
    void buildScript(EditScript &script) const;

    const std::atomic<bool> *m_cancel;
    Line m_costFloor;
    Side m_side[2];
    Line m_equivMax = 0;
    const Line *m_xvec = nullptr;
    const Line *m_yvec = nullptr;
    std::vector<Line> m_diagStore;
    Line *m_fdiag = nullptr;
    Line *m_bdiag = nullptr;
    Line m_tooExpensive = 0;
};

CompareStatus Comparison::run(EditScript &script)
{
    findIdenticalEnds();
    script.prefixEnd[0] = m_side[0].prefixEnd;
    script.prefixEnd[1] = m_side[1].prefixEnd;
    const auto prefixLines = std::count(m_side[0].buf, m_side[0].buf + m_side[0].prefixEnd, '\n');
    if (static_cast<std::size_t>(prefixLines) > kMaxTotalLines)
        return CompareStatus::Failed;
    script.prefixLines = static_cast<Line>(prefixLines);
    if (!hashLines())
        return CompareStatus::Failed;
    if (m_side[0].lines == 0 || m_side[1].lines == 0) {
        // Nothing to search: discarding, search and shifting would change every line anyway.
        for (Side &s : m_side)
            std::fill(s.changed, s.changed + s.lines, 1);
        buildScript(script);
        return script.changes.empty() ? CompareStatus::NoDifferences : CompareStatus::Differences;
    }
    discardConfusingLines();

    const Line n0 = static_cast<Line>(m_side[0].undiscarded.size());
    const Line n1 = static_cast<Line>(m_side[1].undiscarded.size());
    m_xvec = m_side[0].undiscarded.data();
    m_yvec = m_side[1].undiscarded.data();
    // Diagonals run from -(n1 + 1) to n0 + 1.
    std::size_t diags = static_cast<std::size_t>(n0) + static_cast<std::size_t>(n1) + 3;
    m_diagStore.assign(2 * diags, 0);
    m_fdiag = m_diagStore.data() + n1 + 1;
    m_bdiag = m_diagStore.data() + diags + n1 + 1;
    // The cut-off: about the square root of the input size, so very different files cost
    // near-linear time per split instead of quadratic; a floor keeps small files exact.
    m_tooExpensive = 1;
    for (; diags != 0; diags >>= 2)
        m_tooExpensive <<= 1;
    m_tooExpensive = std::max(m_tooExpensive, m_costFloor);

    if (!compareSeq(0, n0, 0, n1, false))
        return CompareStatus::Cancelled;
    m_diagStore = {};
    shiftBoundaries();
    buildScript(script);
    return script.changes.empty() ? CompareStatus::NoDifferences : CompareStatus::Differences;
}

// Sets prefixEnd (at a line start, the same offset in both files) and suffixBegin (at a line
// start in both files) so that what lies outside is byte-identical. The buffers must hold
// eight zero bytes after the data; one of them is overwritten as a stop mark.
void Comparison::findIdenticalEnds()
{
    Side &s0 = m_side[0];
    Side &s1 = m_side[1];
    char *b0 = s0.buf;
    char *b1 = s1.buf;
    const std::size_t n0 = s0.size;
    const std::size_t n1 = s1.size;

    // A byte that differs right after the shorter text stops both loops without bound checks.
    if (n0 < n1)
        b0[n0] = static_cast<char>(~b1[n0]);
    else
        b1[n1] = static_cast<char>(~b0[n1]);
    std::size_t p = 0;
    while (loadWord(b0 + p) == loadWord(b1 + p))
        p += 8;
    while (b0[p] == b1[p])
        ++p;
    // A line feed appended to only one side must not count as matching.
    if ((n0 - s0.missingNewline < p) != (n1 - s1.missingNewline < p))
        --p;
    while (p != 0 && b0[p - 1] != '\n')
        --p;
    s0.prefixEnd = s1.prefixEnd = p;

    s0.suffixBegin = n0;
    s1.suffixBegin = n1;
    // A last line without line feed equals no complete line, so with one side missing it
    // there can be no common suffix at all.
    if (s0.missingNewline != s1.missingNewline)
        return;
    // Stop when either side reaches its prefix end.
    std::size_t q0 = n0;
    std::size_t q1 = n1;
    const std::size_t stop0 = p + (n0 < n1 ? 0 : n0 - n1);
    while (q0 - stop0 >= 8 && loadWord(b0 + q0 - 8) == loadWord(b1 + q1 - 8)) {
        q0 -= 8;
        q1 -= 8;
    }
    while (q0 != stop0 && b0[q0 - 1] == b1[q1 - 1]) {
        --q0;
        --q1;
    }
    // A suffix that starts inside a line begins after that line instead.
    const bool atLineStart = (q0 == 0 || b0[q0 - 1] == '\n') && (q1 == 0 || b1[q1 - 1] == '\n');
    if (!atLineStart) {
        const std::size_t from = q0;
        while (q0 != n0 && b0[q0++] != '\n') {
        }
        q1 += q0 - from;
    }
    s0.suffixBegin = q0;
    s1.suffixBegin = q1;
}

// Gives every line between prefix and suffix an equivalence class: equal classes mean
// byte-identical lines. A last line without line feed gets a class of its own that only the
// other file's last line without line feed can share. Classes are numbered from 1 in the order
// their first line is met. Returns false when there are too many lines to number.
//
// Two passes per file: the first hashes every line, the second looks the hashes up in a
// power-of-two table of {hash, class} slots with linear probing, fetching each slot some
// lines ahead. Looking up straight after hashing stalls on a cache miss for nearly every line
// of a large file.
bool Comparison::hashLines()
{
    for (Side &s : m_side) {
        s.changedStore.assign(2, 0);
        s.changed = s.changedStore.data() + 1;
    }
    // With one side's middle empty every line of the other is changed, whatever its class:
    // only the count is needed.
    if (m_side[0].prefixEnd == m_side[0].suffixBegin ||
        m_side[1].prefixEnd == m_side[1].suffixBegin) {
        std::size_t total = 0;
        for (Side &s : m_side) {
            const auto n = static_cast<std::size_t>(
                std::count(s.buf + s.prefixEnd, s.buf + s.suffixBegin, '\n'));
            total += n;
            if (total > kMaxTotalLines)
                return false;
            s.lines = static_cast<Line>(n);
            s.changedStore.assign(n + 2, 0);
            s.changed = s.changedStore.data() + 1;
        }
        m_equivMax = 1;
        return true;
    }

    for (Side &s : m_side) {
        const double share = double(s.suffixBegin - s.prefixEnd) / double(s.size);
        s.lineHint = static_cast<std::size_t>(double(s.lineHint) * share) + 16;
    }
    // Most lines of the second file usually repeat the first file's, so the table is sized
    // for the first file and a little more, at most half full, and doubles when it fills.
    const std::size_t expected = m_side[0].lineHint + m_side[1].lineHint / 8 + 16;
    std::size_t capacity = std::bit_ceil(2 * expected);
    std::size_t mask = capacity - 1;
    std::vector<ClassSlot> table(capacity, ClassSlot{0, 0});
    std::vector<ClassLine> classes;
    classes.reserve(expected);
    classes.push_back({nullptr, 0}); // class 0 is never used
    Line incompleteClass = 0;        // the first file's last line without line feed
    std::size_t totalLines = 0;

    auto grow = [&] {
        std::vector<ClassSlot> bigger(2 * capacity, ClassSlot{0, 0});
        const std::size_t biggerMask = 2 * capacity - 1;
        for (const ClassSlot &slot : table) {
            if (slot.code == 0)
                continue;
            std::size_t i = slot.hash & biggerMask;
            while (bigger[i].code != 0)
                i = (i + 1) & biggerMask;
            bigger[i] = slot;
        }
        table = std::move(bigger);
        capacity *= 2;
        mask = biggerMask;
    };

    std::vector<const char *> starts;
    for (int f = 0; f < 2; ++f) {
        Side &s = m_side[f];
        // The hashes go into equivCodes first; each is replaced by its class in the lookup.
        s.equivCodes.clear();
        s.equivCodes.reserve(s.lineHint);
        starts.clear();
        starts.reserve(s.lineHint + 1);
        const char *p = s.buf + s.prefixEnd;
        const char *const end = s.buf + s.suffixBegin;
        while (p < end) {
            starts.push_back(p);
            const char *lineFeed;
            s.equivCodes.push_back(static_cast<Line>(hashLine(p, lineFeed)));
            p = lineFeed + 1;
        }
        starts.push_back(p);
        const std::size_t n = s.equivCodes.size();
        totalLines += n;
        if (totalLines > kMaxTotalLines)
            return false;
        s.lines = static_cast<Line>(n);
        s.changedStore.assign(n + 2, 0);
        s.changed = s.changedStore.data() + 1;
        const auto *hashes = reinterpret_cast<const std::uint32_t *>(s.equivCodes.data());
        const bool lastIncomplete = s.missingNewline && p == s.buf + s.size;
        const std::size_t complete = lastIncomplete ? n - 1 : n;

        for (std::size_t line = 0; line < complete; ++line) {
            if (line + kPrefetchLines < complete)
                __builtin_prefetch(&table[hashes[line + kPrefetchLines] & mask]);
            const std::uint32_t h = hashes[line];
            const char *const start = starts[line];
            const std::size_t length = static_cast<std::size_t>(starts[line + 1] - start) - 1;
            std::size_t i = h & mask;
            Line code = 0;
            for (; table[i].code != 0; i = (i + 1) & mask) {
                if (table[i].hash != h)
                    continue;
                const ClassLine &c = classes[static_cast<std::size_t>(table[i].code)];
                if (c.length == length && std::memcmp(c.line, start, length) == 0) {
                    code = table[i].code;
                    break;
                }
            }
            if (code == 0) {
                code = static_cast<Line>(classes.size());
                classes.push_back({start, length});
                table[i] = {h, code};
                if (2 * classes.size() > capacity)
                    grow();
            }
            s.equivCodes[line] = code;
        }
        if (lastIncomplete) {
            const char *const start = starts[n - 1];
            const std::size_t length = static_cast<std::size_t>(starts[n] - start) - 1;
            Line code = 0;
            if (f == 1 && incompleteClass != 0) {
                const ClassLine &c = classes[static_cast<std::size_t>(incompleteClass)];
                if (c.length == length && std::memcmp(c.line, start, length) == 0)
                    code = incompleteClass;
            }
            if (code == 0) {
                code = static_cast<Line>(classes.size());
                classes.push_back({start, length});
            }
            if (f == 0)
                incompleteClass = code;
            s.equivCodes[n - 1] = code;
        }
    }
    m_equivMax = static_cast<Line>(classes.size());
    return true;
}

// Lines that match nothing in the other file cannot be part of a common subsequence, and lines
// that match very many only slow the search down; leaving them out (marked changed) shrinks
// the search. A line matching many is only left out inside a run of unmatched lines.
void Comparison::discardConfusingLines()
{
    std::vector<Line> equivCount(2 * static_cast<std::size_t>(m_equivMax), 0);
    Line *counts[2] = {equivCount.data(), equivCount.data() + m_equivMax};
    for (int f = 0; f < 2; ++f)
        for (Line code : m_side[f].equivCodes)
            ++counts[f][code];

    std::vector<char> discarded[2];
    for (int f = 0; f < 2; ++f) {
        const Side &s = m_side[f];
        const Line *otherCounts = counts[1 - f];
        discarded[f].assign(static_cast<std::size_t>(s.lines), 0);
        char *discards = discarded[f].data();
        // `many` grows with about the square root of the line count.
        Line many = 5;
        for (Line t = s.lines / 64; (t >>= 2) > 0;)
            many *= 2;
        for (Line i = 0; i < s.lines; ++i) {
            const Line code = s.equivCodes[static_cast<std::size_t>(i)];
            if (code == 0)
                continue;
            const Line matches = otherCounts[code];
            if (matches == 0)
                discards[i] = 1;
            else if (matches > many)
                discards[i] = 2;
        }
    }

    // Provisional discards (2) stand only inside a run of discards whose first and last are
    // definite (1), and not too many of them.
    for (int f = 0; f < 2; ++f) {
        char *discards = discarded[f].data();
        const Line end = m_side[f].lines;
        for (Line i = 0; i < end; ++i) {
            if (discards[i] == 2) {
                discards[i] = 0;
                continue;
            }
            if (discards[i] == 0)
                continue;
            Line j = i;
            Line provisional = 0;
            for (; j < end && discards[j] != 0; ++j)
                if (discards[j] == 2)
                    ++provisional;
            while (j > i && discards[j - 1] == 2) {
                discards[--j] = 0;
                --provisional;
            }
            const Line length = j - i;
            if (provisional * 4 > length) {
                while (j > i)
                    if (discards[--j] == 2)
                        discards[j] = 0;
                continue;
            }
            // `minimum`: about the square root of length / 4; a sub-run of that many
            // provisionals is kept out of the discards.
            Line minimum = 1;
            for (Line t = length >> 2; (t >>= 2) > 0;)
                minimum <<= 1;
            ++minimum;
            Line consec = 0;
            for (j = 0; j < length; ++j) {
                if (discards[i + j] != 2)
                    consec = 0;
                else if (minimum == ++consec)
                    j -= consec; // back to the sub-run's start, to clear all of it
                else if (minimum < consec)
                    discards[i + j] = 0;
            }
            // From each end, clear provisionals until three definite discards in a row, or a
            // definite discard at least 8 lines in.
            consec = 0;
            for (j = 0; j < length; ++j) {
                if (j >= 8 && discards[i + j] == 1)
                    break;
                if (discards[i + j] == 2) {
                    consec = 0;
                    discards[i + j] = 0;
                } else if (discards[i + j] == 0) {
                    consec = 0;
                } else {
                    ++consec;
                }
                if (consec == 3)
                    break;
            }
            i += length - 1;
            consec = 0;
            for (j = 0; j < length; ++j) {
                if (j >= 8 && discards[i - j] == 1)
                    break;
                if (discards[i - j] == 2) {
                    consec = 0;
                    discards[i - j] = 0;
                } else if (discards[i - j] == 0) {
                    consec = 0;
                } else {
                    ++consec;
                }
                if (consec == 3)
                    break;
            }
        }
    }

    for (int f = 0; f < 2; ++f) {
        Side &s = m_side[f];
        const char *discards = discarded[f].data();
        std::size_t kept = 0;
        for (Line i = 0; i < s.lines; ++i)
            kept += discards[i] == 0;
        s.undiscarded.resize(kept);
        s.realIndexes.resize(kept);
        std::size_t j = 0;
        for (Line i = 0; i < s.lines; ++i) {
            if (discards[i] == 0) {
                s.undiscarded[j] = s.equivCodes[static_cast<std::size_t>(i)];
                s.realIndexes[j++] = i;
            } else {
                s.changed[i] = 1;
            }
        }
    }
}

// Finds the midpoint of the shortest edit script for xvec[xoff, xlim) against
// yvec[yoff, ylim) (half-open ranges; the caller has already stripped equal lines at both
// ends, and neither range is empty), searching forward from the top left and backward from
// the bottom right until the paths overlap. Unless `minimal`, gives up at the cost cut-off
// and returns the furthest point reached instead; a cut-off only makes the script longer,
// never wrong. Returns false when cancelled.
bool Comparison::diag(Line xoff, Line xlim, Line yoff, Line ylim, bool minimal, Partition &part)
{
    Line *const fd = m_fdiag;
    Line *const bd = m_bdiag;
    const Line *const xv = m_xvec;
    const Line *const yv = m_yvec;
    const Line dmin = xoff - ylim;
    const Line dmax = xlim - yoff;
    const Line fmid = xoff - yoff;
    const Line bmid = xlim - ylim;
    Line fmin = fmid;
    Line fmax = fmid;
    Line bmin = bmid;
    Line bmax = bmid;
    const bool odd = ((fmid - bmid) & 1) != 0;

    fd[fmid] = xoff;
    bd[bmid] = xlim;

    for (Line c = 1;; ++c) {
        if (cancelled())
            return false;

        if (fmin > dmin)
            fd[--fmin - 1] = -1;
        else
            ++fmin;
        if (fmax < dmax)
            fd[++fmax + 1] = -1;
        else
            --fmax;
        for (Line d = fmax; d >= fmin; d -= 2) {
            const Line tlo = fd[d - 1];
            const Line thi = fd[d + 1];
            Line x = tlo >= thi ? tlo + 1 : thi;
            Line y = x - d;
            while (x < xlim && y < ylim && xv[x] == yv[y]) {
                ++x;
                ++y;
            }
            fd[d] = x;
            if (odd && bmin <= d && d <= bmax && bd[d] <= x) {
                part = {x, y, true, true};
                return true;
            }
        }

        if (bmin > dmin)
            bd[--bmin - 1] = std::numeric_limits<Line>::max();
        else
            ++bmin;
        if (bmax < dmax)
            bd[++bmax + 1] = std::numeric_limits<Line>::max();
        else
            --bmax;
        for (Line d = bmax; d >= bmin; d -= 2) {
            const Line tlo = bd[d - 1];
            const Line thi = bd[d + 1];
            Line x = tlo < thi ? tlo : thi - 1;
            Line y = x - d;
            while (xoff < x && yoff < y && xv[x - 1] == yv[y - 1]) {
                --x;
                --y;
            }
            bd[d] = x;
            if (!odd && fmin <= d && d <= fmax && x <= fd[d]) {
                part = {x, y, true, true};
                return true;
            }
        }

        if (minimal || c < m_tooExpensive)
            continue;

        // Too expensive: split at the better of the furthest forward and backward points.
        std::int64_t fxybest = -1;
        Line fxbest = 0;
        for (Line d = fmax; d >= fmin; d -= 2) {
            Line x = std::min(fd[d], xlim);
            Line y = x - d;
            if (ylim < y) {
                x = ylim + d;
                y = ylim;
            }
            if (fxybest < std::int64_t{x} + y) {
                fxybest = std::int64_t{x} + y;
                fxbest = x;
            }
        }
        std::int64_t bxybest = std::numeric_limits<std::int64_t>::max();
        Line bxbest = 0;
        for (Line d = bmax; d >= bmin; d -= 2) {
            Line x = std::max(xoff, bd[d]);
            Line y = x - d;
            if (y < yoff) {
                x = yoff + d;
                y = yoff;
            }
            if (std::int64_t{x} + y < bxybest) {
                bxybest = std::int64_t{x} + y;
                bxbest = x;
            }
        }
        if ((std::int64_t{xlim} + ylim) - bxybest < fxybest - (std::int64_t{xoff} + yoff))
            part = {fxbest, static_cast<Line>(fxybest - fxbest), true, false};
        else
            part = {bxbest, static_cast<Line>(bxybest - bxbest), false, true};
        return true;
    }
}

// Marks as changed, through realIndexes, the lines of xvec[xoff, xlim) and yvec[yoff, ylim)
// that are not in the common subsequence found. Recurses into the smaller half and loops on
// the larger one, so the depth stays logarithmic even when the cut-off splits unevenly.
// Returns false when cancelled.
bool Comparison::compareSeq(Line xoff, Line xlim, Line yoff, Line ylim, bool minimal)
{
    const Line *const xv = m_xvec;
    const Line *const yv = m_yvec;
    for (;;) {
        while (xoff < xlim && yoff < ylim && xv[xoff] == yv[yoff]) {
            ++xoff;
            ++yoff;
        }
        while (xoff < xlim && yoff < ylim && xv[xlim - 1] == yv[ylim - 1]) {
            --xlim;
            --ylim;
        }
        if (xoff == xlim) {
            for (; yoff < ylim; ++yoff)
                m_side[1].changed[m_side[1].realIndexes[static_cast<std::size_t>(yoff)]] = 1;
            return true;
        }
        if (yoff == ylim) {
            for (; xoff < xlim; ++xoff)
                m_side[0].changed[m_side[0].realIndexes[static_cast<std::size_t>(xoff)]] = 1;
            return true;
        }
        Partition part{};
        if (!diag(xoff, xlim, yoff, ylim, minimal, part))
            return false;
        const bool lowerSmaller =
            (part.xmid - xoff) + (part.ymid - yoff) <= (xlim - part.xmid) + (ylim - part.ymid);
        if (lowerSmaller) {
            if (!compareSeq(xoff, part.xmid, yoff, part.ymid, part.loMinimal))
                return false;
            xoff = part.xmid;
            yoff = part.ymid;
            minimal = part.hiMinimal;
        } else {
            if (!compareSeq(part.xmid, xlim, part.ymid, ylim, part.hiMinimal))
                return false;
            xlim = part.xmid;
            ylim = part.ymid;
            minimal = part.loMinimal;
        }
    }
}

// Moves each run of changed lines, within one file, as far down as equal lines allow, unless
// it can be lined up with a change in the other file; runs that touch are merged. This puts
// an inserted blank line among blank lines at its last possible place. Only the shape of the
// script changes, never its correctness.
void Comparison::shiftBoundaries()
{
    for (int f = 0; f < 2; ++f) {
        char *changed = m_side[f].changed;
        const char *otherChanged = m_side[1 - f].changed;
        const Line *equivs = m_side[f].equivCodes.data();
        const Line iEnd = m_side[f].lines;
        Line i = 0;
        Line j = 0;
        for (;;) {
            // Find the next run, keeping j at the corresponding line of the other file.
            while (i < iEnd && !changed[i]) {
                while (otherChanged[j++]) {
                }
                ++i;
            }
            if (i == iEnd)
                break;
            Line start = i;
            while (changed[++i]) {
            }
            while (otherChanged[j])
                ++j;

            Line runLength;
            Line corresponding;
            do {
                runLength = i - start;
                // Up while the line above equals the run's last line; merges with runs above.
                while (start != 0 && equivs[start - 1] == equivs[i - 1]) {
                    changed[--start] = 1;
                    changed[--i] = 0;
                    while (changed[start - 1])
                        --start;
                    while (otherChanged[--j]) {
                    }
                }
                // iEnd means: no point lined up with a change of the other file yet.
                corresponding = otherChanged[j - 1] ? i : iEnd;
                // Then down as far as possible; merges with runs below.
                while (i != iEnd && equivs[start] == equivs[i]) {
                    changed[start++] = 0;
                    changed[i++] = 1;
                    while (changed[i])
                        ++i;
                    while (otherChanged[++j])
                        corresponding = i;
                }
            } while (runLength != i - start);

            // Back up to the last place that lines up with a change in the other file.
            while (corresponding < i) {
                changed[--start] = 1;
                changed[--i] = 0;
                while (otherChanged[--j]) {
                }
            }
        }
    }
}

void Comparison::buildScript(EditScript &script) const
{
    const char *changed0 = m_side[0].changed;
    const char *changed1 = m_side[1].changed;
    Line i0 = m_side[0].lines;
    Line i1 = m_side[1].lines;
    // changedN[-1] exists and is 0, which ends every block at the top.
    while (i0 >= 0 || i1 >= 0) {
        if (changed0[i0 - 1] | changed1[i1 - 1]) {
            const Line line0 = i0;
            const Line line1 = i1;
            while (changed0[i0 - 1])
                --i0;
            while (changed1[i1 - 1])
                --i1;
            script.changes.push_back({i0, i1, line0 - i0, line1 - i1});
        }
        --i0;
        --i1;
    }
    std::reverse(script.changes.begin(), script.changes.end());
}

} // namespace

TextComparer::TextComparer(const std::atomic<bool> *cancel)
    : m_cancel(cancel)
{
}

void TextComparer::setRows(RowList *leftRows, RowList *rightRows)
{
    m_leftRows = leftRows;
    m_rightRows = rightRows;
}

CompareStatus TextComparer::compare(const std::string &path0, const std::string &path1)
{
    FileImage image0 = FileImage::load(path0);
    FileImage image1 = FileImage::load(path1);
    m_fileError[0] = image0.error();
    m_fileError[1] = image1.error();
    const CompareStatus status = compareImages(image0, image1);
    if (status == CompareStatus::Differences && m_leftRows && m_rightRows)
        applyScript(m_script, *m_leftRows, *m_rightRows);
    return status;
}

CompareStatus TextComparer::compareImages(FileImage &image0, FileImage &image1)
{
    m_script = {};
    if (image0.isBinary() || image1.isBinary()) {
        const bool same = image0.size() == image1.size() &&
                          std::memcmp(image0.data(), image1.data(), image0.size()) == 0;
        return same ? CompareStatus::NoDifferences : CompareStatus::BinaryDiffer;
    }
    try {
        image0.prepareText(m_readMode);
        image1.prepareText(m_readMode);
        Comparison comparison(image0, image1, m_cancel, m_costFloor);
        const CompareStatus status = comparison.run(m_script);
        if (status == CompareStatus::Cancelled || status == CompareStatus::Failed)
            m_script = {};
        return status;
    } catch (const std::bad_alloc &) {
        m_script = {};
        return CompareStatus::Failed;
    }
}

namespace {

// Whether rows of these counts can hold every line the script names.
bool rowsFit(const EditScript &script, std::size_t leftCount, std::size_t rightCount)
{
    for (const ChangeRecord &change : script.changes) {
        const std::size_t end0 = static_cast<std::size_t>(script.prefixLines) +
                                 static_cast<std::size_t>(change.line0) +
                                 static_cast<std::size_t>(change.deleted);
        const std::size_t end1 = static_cast<std::size_t>(script.prefixLines) +
                                 static_cast<std::size_t>(change.line1) +
                                 static_cast<std::size_t>(change.inserted);
        if (end0 > leftCount || end1 > rightCount)
            return false;
    }
    return true;
}

} // namespace

bool TextComparer::applyScript(const EditScript &script, std::vector<DiffRow> &leftRows,
                               std::vector<DiffRow> &rightRows)
{
    if (!rowsFit(script, leftRows.size(), rightRows.size()))
        return false;
    std::size_t fillers[2] = {0, 0};
    for (const ChangeRecord &change : script.changes) {
        if (change.deleted != change.inserted) {
            fillers[0] += static_cast<std::size_t>(change.inserted);
            fillers[1] += static_cast<std::size_t>(change.deleted);
        }
    }
    std::vector<DiffRow> left;
    std::vector<DiffRow> right;
    left.reserve(leftRows.size() + fillers[0]);
    right.reserve(rightRows.size() + fillers[1]);
    std::size_t next0 = 0;
    std::size_t next1 = 0;
    auto take = [](std::vector<DiffRow> &from, std::size_t &next, DiffRowKind kind) {
        DiffRow row = std::move(from[next++]);
        row.kind = kind;
        return row;
    };
    for (const ChangeRecord &change : script.changes) {
        const std::size_t first0 = static_cast<std::size_t>(script.prefixLines + change.line0);
        const std::size_t first1 = static_cast<std::size_t>(script.prefixLines + change.line1);
        while (next0 < first0)
            left.push_back(std::move(leftRows[next0++]));
        while (next1 < first1)
            right.push_back(std::move(rightRows[next1++]));
        if (change.deleted == change.inserted) {
            for (std::int32_t k = 0; k < change.deleted; ++k)
                left.push_back(take(leftRows, next0, DiffRowKind::Changed));
            for (std::int32_t k = 0; k < change.inserted; ++k)
                right.push_back(take(rightRows, next1, DiffRowKind::Changed));
            continue;
        }
        for (std::int32_t k = 0; k < change.inserted; ++k) {
            left.push_back(DiffRow{DiffRowKind::Inserted, 0, 0, {}});
            right.push_back(take(rightRows, next1, DiffRowKind::Inserted));
        }
        for (std::int32_t k = 0; k < change.deleted; ++k) {
            left.push_back(take(leftRows, next0, DiffRowKind::Deleted));
            right.push_back(DiffRow{DiffRowKind::Deleted, 0, 0, {}});
        }
    }
    while (next0 < leftRows.size())
        left.push_back(std::move(leftRows[next0++]));
    while (next1 < rightRows.size())
        right.push_back(std::move(rightRows[next1++]));
    leftRows = std::move(left);
    rightRows = std::move(right);
    return true;
}

bool TextComparer::applyScript(const EditScript &script, RowList &leftRows, RowList &rightRows)
{
    if (!rowsFit(script, leftRows.rowCount(), rightRows.rowCount()))
        return false;
    auto *leftVector = dynamic_cast<VectorRowList *>(&leftRows);
    auto *rightVector = dynamic_cast<VectorRowList *>(&rightRows);
    if (leftVector && rightVector)
        return applyScript(script, leftVector->rows(), rightVector->rows());

    std::size_t padLeft = 0;
    std::size_t padRight = 0;
    for (const ChangeRecord &change : script.changes) {
        const std::size_t first0 = static_cast<std::size_t>(change.line0 + script.prefixLines) + 1;
        const std::size_t last0 = first0 + static_cast<std::size_t>(change.deleted) - 1;
        const std::size_t first1 = static_cast<std::size_t>(change.line1 + script.prefixLines) + 1;
        const std::size_t last1 = first1 + static_cast<std::size_t>(change.inserted) - 1;
        if (change.deleted == change.inserted) {
            for (std::size_t n = first0; n <= last0; ++n)
                leftRows.setKind(padLeft + n - 1, DiffRowKind::Changed);
            for (std::size_t n = first1; n <= last1; ++n)
                rightRows.setKind(padRight + n - 1, DiffRowKind::Changed);
            continue;
        }
        // The new lines first, facing blank rows, then the old lines, facing blank rows.
        for (std::size_t n = first1; n <= last1; ++n) {
            leftRows.insertRow(padRight + n - 1, DiffRow{DiffRowKind::Inserted, 0, 0, {}});
            rightRows.setKind(padRight + n - 1, DiffRowKind::Inserted);
            ++padLeft;
        }
        for (std::size_t n = first0; n <= last0; ++n) {
            rightRows.insertRow(padLeft + n - 1, DiffRow{DiffRowKind::Deleted, 0, 0, {}});
            leftRows.setKind(padLeft + n - 1, DiffRowKind::Deleted);
            ++padRight;
        }
    }
    return true;
}

} // namespace compare
