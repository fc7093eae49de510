#include "EntryList.h"

#include "EntryFields.h"
#include "zip/ZipPackage.h"

#include <algorithm>
#include <numeric>
#include <string>

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
        // Texts of plain ASCII compare as their lower-case bytes, which orders them exactly as a case-insensitive
        // QString comparison does; any other pair is compared by Qt, case folded as it goes.
        const bool byName = column == EntryColumn::Name;
        const auto text = [&](std::size_t i) -> const QString& {
            return byName ? m_rows[i].name : m_rows[i].folderPath;
        };
        std::vector<std::string> lowered(n);
        std::vector<char> ascii(n, 0);
        for (std::size_t i = 0; i < n; ++i) {
            const QString& t = text(i);
            std::string key(size_t(t.size()), '\0');
            bool plain = true;
            for (qsizetype k = 0; k < t.size(); ++k) {
                const char16_t c = t.at(k).unicode();
                if (c >= 0x80) {
                    plain = false;
                    break;
                }
                key[size_t(k)] = char(c >= u'A' && c <= u'Z' ? c + 32 : c);
            }
            if (plain) lowered[i] = std::move(key), ascii[i] = 1;
        }
        const auto less = [&](std::size_t a, std::size_t b) {
            if (ascii[a] && ascii[b]) return lowered[a] < lowered[b];
            return text(a).compare(text(b), Qt::CaseInsensitive) < 0;
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
