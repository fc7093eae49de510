#include "SelectionGrid.h"

#include "utility/TextUtil.h"

#include <algorithm>

const QVector<GridColumn>& gridColumns(GridKind kind) {
    using F = GridField;
    static const GridColumn icon{F::Icon, QString(), QString(), 20};
    static const QVector<GridColumn> folders{icon,
                                             {F::Path, "xfolders", "Folders to Zip", 200},
                                             {F::Files, "xfiles", "# of Files", 70},
                                             {F::Size, "xtotal", "Size(Bytes)", 70},
                                             {F::Include, "xinclude", "Include", 140},
                                             {F::Exclude, "xexclude", "Exclude", 140}};
    static const QVector<GridColumn> files{icon,
                                           {F::Path, "yfolders", "Files to Zip", 355},
                                           {F::Files, "yfiles", "# of Files", 70},
                                           {F::Size, "ytotal", "Size(Bytes)", 70}};
    static const QVector<GridColumn> sets{icon,
                                          {F::Path, "bfolders", "Files/Folders to Zip", 355},
                                          {F::Files, "bfiles", "# of Files", 70},
                                          {F::Size, "btotal", "Size(Bytes)", 70},
                                          {F::Include, "binclude", "Include", 140},
                                          {F::Exclude, "bexclude", "Exclude", 140}};
    static const QVector<GridColumn> search{icon,
                                            {F::Path, "ufolders", "Files to Zip", 355},
                                            {F::Files, "ufiles", "# of Files", 70},
                                            {F::Size, "utotal", "Size(Bytes)", 70},
                                            {F::Modified, "umodified", "Modified", 150},
                                            {F::Created, "ucreated", "Created", 150},
                                            {F::Accessed, "uaccessed", "Accessed", 150}};
    static const QVector<GridColumn> build{icon,
                                           {F::Path, "zfolders", "Files/Folders to Zip", 355},
                                           {F::Files, "zfiles", "# of Files", 70},
                                           {F::Size, "ztotal", "Size(Bytes)", 70},
                                           {F::Include, "zinclude", "Include", 140},
                                           {F::Exclude, "zexclude", "Exclude", 140}};
    static const QVector<GridColumn> quick{icon,
                                           {F::Path, "bfolders", "Files/Folders to Update", 355},
                                           {F::Files, "bfiles", "# of Files", 70},
                                           {F::Size, "btotal", "Size(Bytes)", 70},
                                           {F::Include, "binclude", "Include", 140},
                                           {F::Exclude, "bexclude", "Exclude", 140}};
    switch (kind) {
    case GridKind::Folders:
        return folders;
    case GridKind::Files:
        return files;
    case GridKind::Sets:
        return sets;
    case GridKind::Search:
        return search;
    case GridKind::Quick:
        return quick;
    case GridKind::Build:
        break;
    }
    return build;
}

int SelectionGrid::indexOfId(quint64 id) const {
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == id) return i;
    return -1;
}

QVector<SelectionRow> SelectionGrid::allRows() const {
    QVector<SelectionRow> out;
    out.reserve(m_rows.size());
    for (const Row& r : m_rows)
        out.append(r.cells);
    return out;
}

QVector<SelectionRow> SelectionGrid::entries() const {
    QVector<SelectionRow> out;
    out.reserve(m_rows.size());
    for (const Row& r : m_rows)
        if (!r.cells.isTotal()) out.append(r.cells);
    return out;
}

int SelectionGrid::summaryIndex() const {
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].cells.isTotal()) return i;
    return -1;
}

quint64 SelectionGrid::appendRow(const SelectionRow& row, const RowTimes& times, bool counting) {
    const quint64 id = m_nextId++;
    m_rows.append({row, times, id, counting});
    return id;
}

void SelectionGrid::setCounts(int index, qint64 files, qint64 bytes) {
    if (index < 0 || index >= m_rows.size()) return;
    m_rows[index].cells.files = TextUtil::formatGrouped(files);
    m_rows[index].cells.size = TextUtil::formatGrouped(bytes);
    m_rows[index].counting = false;
}

void SelectionGrid::removeRow(int index) {
    if (index >= 0 && index < m_rows.size()) m_rows.removeAt(index);
}

void SelectionGrid::clear() {
    m_rows.clear();
}

qint64 SelectionGrid::fileTotal() const {
    qint64 sum = 0;
    for (const Row& r : m_rows)
        if (!r.cells.isTotal()) sum += TextUtil::parseGrouped(r.cells.files);
    return sum;
}

qint64 SelectionGrid::byteTotal() const {
    qint64 sum = 0;
    for (const Row& r : m_rows)
        if (!r.cells.isTotal()) sum += TextUtil::parseGrouped(r.cells.size);
    return sum;
}

void SelectionGrid::refreshSummary() {
    const qint64 files = fileTotal();
    const qint64 bytes = byteTotal();
    const int at = summaryIndex();
    if (at >= 0) {
        setCounts(at, files, bytes);
        return;
    }
    SelectionRow total;
    total.path = kTotalRowPath;
    total.files = TextUtil::formatGrouped(files);
    total.size = TextUtil::formatGrouped(bytes);
    appendRow(total);
}

void SelectionGrid::sortBy(GridField field, bool ascending) {
    // <0, 0, >0 as a is before, with, after b in ascending order.
    const auto compare = [field](const Row& a, const Row& b) -> int {
        switch (field) {
        case GridField::Files:
            return int(TextUtil::parseGrouped(a.cells.files) > TextUtil::parseGrouped(b.cells.files)) -
                   int(TextUtil::parseGrouped(a.cells.files) < TextUtil::parseGrouped(b.cells.files));
        case GridField::Size:
            return int(TextUtil::parseGrouped(a.cells.size) > TextUtil::parseGrouped(b.cells.size)) -
                   int(TextUtil::parseGrouped(a.cells.size) < TextUtil::parseGrouped(b.cells.size));
        case GridField::Modified:
            return int(a.times.modified > b.times.modified) - int(a.times.modified < b.times.modified);
        case GridField::Created:
            return int(a.times.created > b.times.created) - int(a.times.created < b.times.created);
        case GridField::Accessed:
            return int(a.times.accessed > b.times.accessed) - int(a.times.accessed < b.times.accessed);
        case GridField::Include:
            return a.cells.include.compare(b.cells.include, Qt::CaseInsensitive);
        case GridField::Exclude:
            return a.cells.exclude.compare(b.cells.exclude, Qt::CaseInsensitive);
        case GridField::Icon:
            return QString::compare(a.cells.isFolder() ? QString() : a.cells.path.section(u'.', -1),
                                    b.cells.isFolder() ? QString() : b.cells.path.section(u'.', -1),
                                    Qt::CaseInsensitive);
        case GridField::Path:
            break;
        }
        return a.cells.path.compare(b.cells.path, Qt::CaseInsensitive);
    };
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const Row& a, const Row& b) {
        if (a.cells.isTotal() != b.cells.isTotal()) return b.cells.isTotal();
        const int c = compare(a, b);
        return ascending ? c < 0 : c > 0;
    });
}
