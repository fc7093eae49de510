#include "TextFinder.h"

#include "utility/CancelToken.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

unsigned char asciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c | 0x20 : c;
}

// The other forms of one character that take as many bytes as it does, so every form of the text has one length
// and a match can be checked slot by slot.
std::vector<QByteArray> formsOf(const QString& character, bool matchCase) {
    const QByteArray own = character.toUtf8();
    std::vector<QByteArray> forms{own};
    if (matchCase) return forms;
    for (const QString& other : {character.toLower(), character.toUpper(), character.toCaseFolded()}) {
        const QByteArray bytes = other.toUtf8();
        if (bytes.size() == own.size() && std::find(forms.begin(), forms.end(), bytes) == forms.end())
            forms.push_back(bytes);
    }
    return forms;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

} // namespace

TextFinder::TextFinder(const QString& text, bool matchCase) : m_matchCase(matchCase) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        Slot slot;
        slot.forms = formsOf(text.mid(i, n), matchCase);
        slot.offset = m_length;
        slot.length = slot.forms.front().size();
        m_length += slot.length;
        m_exact += slot.forms.front();
        if (slot.length != 1) m_simple = false;
        m_slots.push_back(std::move(slot));
        i += n;
    }
    if (m_length == 0) return;
    anchorAt(0, m_firstValue, m_firstFold, m_firstOther);
    anchorAt(m_length - 1, m_lastValue, m_lastFold, m_lastOther);
}

// The quick filter for one byte of the text: (b | fold) == value or b == other holds for every byte any form of
// the text has there. When the forms differ too much for that, every byte passes and the full check decides.
void TextFinder::anchorAt(qsizetype offset, unsigned char& value, unsigned char& fold, unsigned char& other) const {
    auto slot = std::find_if(m_slots.begin(), m_slots.end(),
                             [&](const Slot& s) { return offset >= s.offset && offset < s.offset + s.length; });
    std::vector<unsigned char> bytes;
    for (const QByteArray& form : slot->forms) {
        const auto b = static_cast<unsigned char>(form[offset - slot->offset]);
        if (std::find(bytes.begin(), bytes.end(), b) == bytes.end()) bytes.push_back(b);
    }
    fold = 0;
    if (bytes.size() == 1) {
        value = other = bytes[0];
    } else if (bytes.size() == 2 && __builtin_popcount(bytes[0] ^ bytes[1]) == 1) {
        fold = bytes[0] ^ bytes[1];
        value = other = bytes[0] | fold;
    } else if (bytes.size() == 2) {
        value = bytes[0];
        other = bytes[1];
    } else {
        value = fold = other = 0xff;
    }
}

bool TextFinder::matchesAt(const char* at) const {
    if (m_matchCase) return std::memcmp(at, m_exact.constData(), size_t(m_length)) == 0;
    if (m_simple) {
        const auto* a = reinterpret_cast<const unsigned char*>(at);
        const auto* b = reinterpret_cast<const unsigned char*>(m_exact.constData());
        for (qsizetype i = 0; i < m_length; ++i)
            if (asciiLower(a[i]) != asciiLower(b[i])) return false;
        return true;
    }
    for (const Slot& slot : m_slots) {
        const char* here = at + slot.offset;
        if (std::none_of(slot.forms.begin(), slot.forms.end(), [&](const QByteArray& form) {
                return std::memcmp(here, form.constData(), size_t(slot.length)) == 0;
            }))
            return false;
    }
    return true;
}

qsizetype TextFinder::findIn(const char* data, qsizetype size) const {
    if (m_length == 0 || size < m_length) return -1;
    const qsizetype last = size - m_length; // the last place a match may start
    qsizetype i = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
#if defined(__SSE2__)
    // Sixteen starting places at a time: only places whose first and last byte fit the text are checked in full.
    const __m128i firstValue = _mm_set1_epi8(char(m_firstValue)), firstFold = _mm_set1_epi8(char(m_firstFold)),
                  firstOther = _mm_set1_epi8(char(m_firstOther));
    const __m128i lastValue = _mm_set1_epi8(char(m_lastValue)), lastFold = _mm_set1_epi8(char(m_lastFold)),
                  lastOther = _mm_set1_epi8(char(m_lastOther));
    const qsizetype lastOffset = m_length - 1;
    for (; i + 16 <= last + 1; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + lastOffset));
        const __m128i fitsFirst =
            _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstFold), firstValue), _mm_cmpeq_epi8(a, firstOther));
        const __m128i fitsLast =
            _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(b, lastFold), lastValue), _mm_cmpeq_epi8(b, lastOther));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(fitsFirst, fitsLast)));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            if (matchesAt(data + i + bit)) return i + bit;
            mask &= mask - 1;
        }
    }
#endif
    const auto fits = [](unsigned char b, unsigned char value, unsigned char fold, unsigned char other) {
        return (b | fold) == value || b == other;
    };
    for (; i <= last; ++i) {
        if (fits(bytes[i], m_firstValue, m_firstFold, m_firstOther) &&
            fits(bytes[i + m_length - 1], m_lastValue, m_lastFold, m_lastOther) && matchesAt(data + i))
            return i;
    }
    return -1;
}

TextFinder::Answer TextFinder::findInFile(const QString& path, const CancelToken& cancel) const {
    return findInFile(path, -1, cancel);
}

TextFinder::Answer TextFinder::findInFile(const QString& path, qint64 size, const CancelToken& cancel) const {
    // Not following a link and not waiting on a pipe: only a regular file's contents are searched.
    Descriptor file(open(NativePath::encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (file.get() < 0) return Answer::Unreadable;
    if (size < 0) {
        struct stat status;
        if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return Answer::Unreadable;
        // A size of 0 (as pseudo files give) reads on to the end.
        size = status.st_size > 0 ? qint64(status.st_size) : -1;
    } else if (size == 0) {
        return Answer::NotFound;
    }
    if (m_length == 0) return Answer::NotFound;
    if (size > m_blockSize) posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // The last length-1 bytes of a block are kept in front of the next one, so a match across the border is seen
    // whole; they cannot hold a whole match themselves, as that would have been found already.
    const qsizetype keep = m_length - 1;
    const qsizetype block = std::max<qsizetype>(m_blockSize, 1);
    if (m_buffer.size() < size_t(keep + block)) m_buffer.resize(size_t(keep + block));
    std::vector<char>& buffer = m_buffer;
    // Reading stops at the size the file had, which saves the read that would only say "end of file".
    qint64 remaining = size;
    qsizetype held = 0;
    for (;;) {
        if (cancel.cancelled()) return Answer::Cancelled;
        const qint64 want = remaining >= 0 ? std::min<qint64>(block, remaining) : block;
        const qint64 n = FileOps::readFully(file.get(), buffer.data() + held, want);
        if (n < 0) return Answer::Unreadable;
        const qsizetype filled = held + qsizetype(n);
        if (findIn(buffer.data(), filled) >= 0) return Answer::Found;
        if (n < want) return Answer::NotFound;
        if (remaining >= 0 && (remaining -= n) == 0) return Answer::NotFound;
        const qsizetype carry = std::min(keep, filled);
        std::memmove(buffer.data(), buffer.data() + filled - carry, size_t(carry));
        held = carry;
    }
}
