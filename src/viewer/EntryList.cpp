#include "EntryList.h"

#include "EntryFields.h"
#include "zip/ZipPackage.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>

SortKind sortKindOf(EntryColumn column) {
    switch (column) {
    case EntryColumn::Icon:
        return SortKind::ByIcon;
    case EntryColumn::Size:
    case EntryColumn::Zipped:
        return SortKind::Number;
    case EntryColumn::Modified:
        return SortKind::DateTime;
    case EntryColumn::Ratio:
    default:
        return SortKind::Text;
    }
}

QString columnKey(EntryColumn column) {
    static const char* keys[] = {"icon",           "namestring",   "filesizestring", "comsizestring",
                                 "datetimestring", "ratiodisplay", "filepathstring"};
    return QString::fromLatin1(keys[int(column) - 1]);
}

QString columnHeader(EntryColumn column) {
    static const char* headers[] = {"", "File Name", "Size", "Zipped", "Modified", "Ratio", "Path"};
    return QString::fromLatin1(headers[int(column) - 1]);
}

QString EntryRow::iconKey() const {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toUpper();
}

QString EntryRow::sizeText() const {
    return EntryFields::sizeText(size);
}
QString EntryRow::zippedText() const {
    return EntryFields::sizeText(zipped);
}
QString EntryRow::modifiedText() const {
    return EntryFields::modifiedText(quint16(dosStamp >> 16), quint16(dosStamp));
}
QString EntryRow::ratioText() const {
    return EntryFields::ratioText(size, zipped);
}

QString EntryRow::text(EntryColumn column) const {
    switch (column) {
    case EntryColumn::Icon:
        return QString();
    case EntryColumn::Name:
        return name;
    case EntryColumn::Size:
        return sizeText();
    case EntryColumn::Zipped:
        return zippedText();
    case EntryColumn::Modified:
        return modifiedText();
    case EntryColumn::Ratio:
        return ratioText();
    case EntryColumn::Path:
        return folderPath;
    }
    return QString();
}

void EntryList::load(const ZipPackage& package) {
    m_rows.clear();
    const auto& entries = package.entries();
    m_rows.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry& e = entries[i];
        if (e.name.isEmpty()) continue; // folder entry
        EntryRow row;
        row.entryIndex = qint64(i);
        row.name = e.name;
        row.folderPath = e.folderPath;
        row.size = e.size;
        row.zipped = e.compressedSize;
        row.dosStamp = (quint32(e.dosDate) << 16) | e.dosTime;
        m_rows.push_back(std::move(row));
    }
}

namespace {
// A run of digits becomes '0', its length without leading zeros in two units, then those digits: runs then
// compare by value and sit where digits sort among the other characters.
template <typename Text> void appendDigitRun(Text& key, const QString& t, qsizetype& k) {
    const auto isDigit = [&](qsizetype at) { return t.at(at).unicode() >= u'0' && t.at(at).unicode() <= u'9'; };
    qsizetype first = k; // the first digit that is not a leading zero
    while (k < t.size() && isDigit(k))
        ++k;
    while (first < k && t.at(first).unicode() == u'0')
        ++first;
    const qsizetype units = std::min<qsizetype>(k - first, 0xFFFF);
    key.push_back(typename Text::value_type('0'));
    key.push_back(typename Text::value_type(units >> 8));
    key.push_back(typename Text::value_type(units & 0xFF));
    for (qsizetype d = first; d < k; ++d)
        key.push_back(typename Text::value_type(t.at(d).unicode()));
}

// Compares an ASCII key with a wide one unit by unit, as both would compare as wide keys.
char16_t unit(char c) {
    return static_cast<unsigned char>(c);
}
char16_t unit(char16_t c) {
    return c;
}
template <typename A, typename B> bool unitsLess(const A& a, const B& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](auto x, auto y) { return unit(x) < unit(y); });
}

// Appends the key of plain ASCII text, its characters lower-cased; false when the text is not plain ASCII.
bool appendNaturalKey(const QString& text, std::string& key) {
    for (qsizetype k = 0; k < text.size();) {
        const char16_t c = text.at(k).unicode();
        if (c >= 0x80) return false;
        if (c >= u'0' && c <= u'9') {
            appendDigitRun(key, text, k);
            continue;
        }
        key.push_back(char(c >= u'A' && c <= u'Z' ? c + 32 : c));
        ++k;
    }
    return true;
}

void appendNaturalKey(const QString& text, std::u16string& key) {
    const QString folded = text.toCaseFolded();
    for (qsizetype k = 0; k < folded.size();) {
        const char16_t c = folded.at(k).unicode();
        if (c >= u'0' && c <= u'9') {
            appendDigitRun(key, folded, k);
            continue;
        }
        key.push_back(c);
        ++k;
    }
}
} // namespace

std::vector<std::size_t> EntryList::sort(EntryColumn column, bool ascending) {
    const std::size_t n = m_rows.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    const SortKind kind = sortKindOf(column);

    auto sortBy = [&](auto key) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return ascending ? key(a) < key(b) : key(b) < key(a); });
    };
    if (column == EntryColumn::Name || column == EntryColumn::Path) {
        // Names sort as file managers sort them: case ignored and runs of digits by their value. Each row gets a
        // key once, made so that a plain comparison of keys gives that order; plain ASCII keys are bytes.
        const bool byName = column == EntryColumn::Name;
        // All keys sit in two shared buffers, not in a string each, which keeps the peak memory of 100,000 rows low.
        struct Key {
            std::uint32_t at;
            std::uint32_t length; // kWide set for a key in the wide buffer
        };
        constexpr std::uint32_t kWide = 0x80000000u;
        std::string narrow;
        std::u16string wide;
        std::vector<Key> keys(n);
        for (std::size_t i = 0; i < n; ++i) {
            const QString& t = byName ? m_rows[i].name : m_rows[i].folderPath;
            const std::size_t at = narrow.size();
            if (appendNaturalKey(t, narrow)) {
                keys[i] = {std::uint32_t(at), std::uint32_t(narrow.size() - at)};
            } else {
                narrow.resize(at);
                const std::size_t wideAt = wide.size();
                appendNaturalKey(t, wide);
                keys[i] = {std::uint32_t(wideAt), std::uint32_t(wide.size() - wideAt) | kWide};
            }
        }
        const auto narrowKey = [&](const Key& k) { return std::string_view(narrow).substr(k.at, k.length); };
        const auto wideKey = [&](const Key& k) { return std::u16string_view(wide).substr(k.at, k.length & ~kWide); };
        const auto less = [&](std::size_t a, std::size_t b) {
            const Key &ka = keys[a], &kb = keys[b];
            const bool wa = ka.length & kWide, wb = kb.length & kWide;
            if (!wa && !wb) return narrowKey(ka) < narrowKey(kb);
            if (wa && wb) return wideKey(ka) < wideKey(kb);
            return wa ? unitsLess(wideKey(ka), narrowKey(kb)) : unitsLess(narrowKey(ka), wideKey(kb));
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return ascending ? less(a, b) : less(b, a); });
    } else if (kind == SortKind::Text || kind == SortKind::ByIcon) {
        // Texts made for the sort (icon key) are made once per row, not once per comparison.
        std::vector<QString> folded(n);
        for (std::size_t i = 0; i < n; ++i)
            folded[i] = (kind == SortKind::ByIcon ? m_rows[i].iconKey() : m_rows[i].text(column)).toCaseFolded();
        sortBy([&](std::size_t i) -> const QString& { return folded[i]; });
    } else if (kind == SortKind::DateTime) {
        sortBy([&](std::size_t i) { return m_rows[i].dosStamp; });
    } else if (column == EntryColumn::Ratio) {
        // The shown whole percentage, made once per row, so rows showing the same ratio keep their order.
        std::vector<qint64> ratios(n);
        for (std::size_t i = 0; i < n; ++i)
            ratios[i] = EntryFields::ratioPercent(m_rows[i].size, m_rows[i].zipped);
        sortBy([&](std::size_t i) { return ratios[i]; });
    } else {
        const bool bySize = column == EntryColumn::Size;
        sortBy([&](std::size_t i) { return bySize ? m_rows[i].size : m_rows[i].zipped; });
    }

    // Put the rows into that order in place, cycle by cycle, rather than through a second vector of rows.
    std::vector<bool> placed(n, false);
    for (std::size_t start = 0; start < n; ++start) {
        if (placed[start] || order[start] == start) continue;
        EntryRow held = std::move(m_rows[start]);
        std::size_t at = start;
        while (order[at] != start) {
            m_rows[at] = std::move(m_rows[order[at]]);
            placed[at] = true;
            at = order[at];
        }
        m_rows[at] = std::move(held);
        placed[at] = true;
    }
    return order;
}

void EntryList::removeRow(std::size_t i) {
    if (i < m_rows.size()) m_rows.erase(m_rows.begin() + std::ptrdiff_t(i));
}

qint64 EntryList::findEntry(const ZipPackage& package, const QString& name, const QString& folderPath) {
    const auto& entries = package.entries();
    for (std::size_t i = entries.size(); i-- > 0;)
        if (entries[i].name == name && entries[i].folderPath == folderPath) return qint64(i);
    return -1;
}
