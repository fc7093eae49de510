// Set names as the save flow takes them, saving and deleting set files, and the order of the set grid.
#include "sets/SetSaving.h"
#include "TestSupport.h"
#include "sets/SetListModel.h"

#include <QDir>

using testsupport::TempDir;

namespace {

TEST(SetSaveNames, OfferedAndAcceptedNames) {
    for (const auto& [package, offered] : {std::pair{"Weekly.zip", "Weekly.set"}, std::pair{"Weekly.ZiP", "Weekly.set"},
                                           std::pair{"Weekly.7z", "Dummy.set"}, std::pair{"Weekly", "Dummy.set"}})
        EXPECT_EQ(offeredSetName(package), offered) << package;
    for (const auto& [typed, accepted] : {std::pair{"Weekly", "Weekly.set"}, std::pair{"  Weekly \t", "Weekly.set"},
                                          std::pair{"Weekly.SET", "Weekly.SET"}, std::pair{" a.set ", "a.set"},
                                          std::pair{"Weekly.txt", "Weekly.txt.set"}, std::pair{"", ".set"}})
        EXPECT_EQ(acceptedSetName(typed), accepted) << typed;
}

TEST(SetSaveNames, NamesTheFileSystemRefuses) {
    const QString longest = QString(251, u'a') + ".set";     // 255 bytes
    const QString wide = QString(126, QChar(0xE9)) + ".set"; // 130 characters, 256 bytes
    for (const auto& [name, refused, why] :
         {std::tuple{longest, false, ""}, std::tuple{"a" + longest, true, "at most 255 bytes"},
          std::tuple{wide, true, "at most 255 bytes"}, std::tuple{QString("Week/ly.set"), true, "\"/\""},
          std::tuple{QString("Week") + QChar(0) + "ly.set", true, "NUL"}}) {
        const QString problem = setNameProblem(name);
        EXPECT_EQ(!problem.isEmpty(), refused) << name.size();
        EXPECT_TRUE(problem.contains(why)) << problem.toStdString();
    }
}

TEST(SetSave, RefusalsThenWritingReadsBackAndReplaces) {
    const SelectionRow folder{"/data/", "1,204", "35,118", "*.*", "*.tmp"};
    const SelectionRow total{"**Total**", "1,204", "35,118", "", ""};
    EXPECT_EQ(saveSetRefusal("", {folder}), "Please enter backup set comments first");
    EXPECT_EQ(saveSetRefusal("c", {total}), "Please select files to save as backup sets");
    EXPECT_EQ(saveSetRefusal("c", {folder, total}), "");

    TempDir dir;
    const QString sets = dir.file("Sets/");
    QDir().mkpath(sets);
    testsupport::writeFile(sets + "Weekly.set", "old");
    // The path's name gets the name rule again, so a caller that skipped it still writes a .set file.
    ASSERT_TRUE(saveBackupSet({"Weekly", sets + " Weekly ", "Weekly docs"}, {folder, total}));
    const Result<QString> copy = makeWorkingCopy(sets + "Weekly.set", dir.path());
    ASSERT_TRUE(copy) << copy.message().toStdString();
    EXPECT_EQ(readComment(copy.value()), "Weekly docs");
    EXPECT_EQ(readRows(copy.value()).rows, QVector<SelectionRow>{folder});
    EXPECT_EQ(QDir(sets).entryList(QDir::Files | QDir::Hidden), QStringList{"Weekly.set"});
}

TEST(SetDelete, GoneFilesCountAsDeletedAndFailuresSayWhy) {
    TempDir dir;
    testsupport::writeFile(dir.file("a.set"), "x");
    EXPECT_TRUE(deleteSetFile(dir.file("a.set")));
    EXPECT_FALSE(QFile::exists(dir.file("a.set")));
    EXPECT_TRUE(deleteSetFile(dir.file("a.set")));
    QDir().mkpath(dir.file("b.set"));
    const Status folder = deleteSetFile(dir.file("b.set"));
    EXPECT_TRUE(!folder && folder.message().startsWith("Backup set b.set could not be deleted: "))
        << folder.message().toStdString();
}

TEST(SetListModel, SortsByNameFirstAndHeaderClicksToggle) {
    const QDateTime t0 = QDateTime::fromString("2024-05-01T10:00:00", Qt::ISODate);
    SetListModel model;
    model.load({{"beta.set", "b", t0.addSecs(60)}, {"Alpha.set", "C", t0.addSecs(120)}, {"gamma.set", "a", t0}});
    auto names = [&] {
        QStringList all;
        for (int r = 0; r < model.rowCount(); ++r)
            all << model.data(model.index(r, int(SetColumn::Name))).toString();
        return all;
    };
    EXPECT_EQ(names(), QStringList({"Alpha.set", "beta.set", "gamma.set"}));
    EXPECT_EQ(model.data(model.index(2, int(SetColumn::Modified))).toString(), "2024/05/01 10:00:00");
    const std::pair<int, QStringList> clicks[] = {
        {int(SetColumn::Name), {"gamma.set", "beta.set", "Alpha.set"}},     // a second click on the name reverses
        {int(SetColumn::Modified), {"gamma.set", "beta.set", "Alpha.set"}}, // oldest first
        {int(SetColumn::Modified), {"Alpha.set", "beta.set", "gamma.set"}},
        {int(SetColumn::Comment), {"gamma.set", "beta.set", "Alpha.set"}}, // case ignored: a, b, C
        {int(SetColumn::Icon), {"gamma.set", "beta.set", "Alpha.set"}},    // the icon column does not sort
        {int(SetColumn::Comment), {"Alpha.set", "beta.set", "gamma.set"}}};
    for (const auto& [section, expected] : clicks) {
        model.sortByHeader(section);
        EXPECT_EQ(names(), expected) << section;
    }
}

} // namespace
