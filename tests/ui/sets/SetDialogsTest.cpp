// The backup set dialogs over a real sets folder: what they show, Select, Save with its replace question and its
// refused names, Delete with and without "Don't show ", header sorting, and a modal run of each; and the pattern
// dialog's edit, which hands back the patterns reloaded from the store.
#include "DialogTestUtil.h"
#include "ProgramFixture.h"
#include "app/ui/DialogHook.h"
#include "app/ui/HelpViewer.h"
#include "sets/SetListModel.h"
#include "sets/ui/fBkSet.h"
#include "sets/ui/fBkSetSave.h"
#include "sets/ui/fPatterns.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

using namespace testsupport;

namespace {

void click(const QObject& dialog, const char* button) {
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

// Runs `act` on the first modal dialog that shows itself; any modal dialog shown before that, or after it with
// nothing to act, is closed and named in unexpected, so a wrong flow fails instead of hanging.
struct ModalWatch {
    explicit ModalWatch(std::function<void(QWidget*)> onFirst = {}) : act(std::move(onFirst)) {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && act) return std::exchange(act, nullptr)(modal);
            if (modal) unexpected << modal->objectName(), modal->close();
        });
        timer.start(10);
    }
    std::function<void(QWidget*)> act;
    QTimer timer;
    QStringList unexpected;
};

class SetDialogs : public ::testing::Test {
  protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
    Program program;
    AppState& state = *program.state;
    QString sets = program.app() + "/Sets/";
    void addSets(const QStringList& names, const QString& comment = {}) {
        for (const QString& name : names)
            ASSERT_TRUE(
                writeSetFile(sets + name, {comment.isNull() ? name : comment, {{"/data/", "1", "2", "*.*", ""}}}));
    }
    static QStringList names(const SetGridDialog& d) {
        QStringList all;
        for (int r = 0; r < d.model().rowCount(); ++r)
            all << d.model().setAt(r)->name;
        return all;
    }
};

TEST_F(SetDialogs, HeaderClicksSortTheSelectionStaysAndDeleteAsksUntilDontShowIsTicked) {
    addSets({"b.set", "A.set", "c.set"});
    fBkSet select(state);
    select.show();
    EXPECT_EQ(names(select), QStringList({"A.set", "b.set", "c.set"}));
    select.selectSet("c.set");
    QHeaderView* header = select.grid()->horizontalHeader();
    // A second click on the same header reverses the order; the selected set keeps its selection.
    for (const auto& [order, expected, row] :
         {std::tuple{Qt::DescendingOrder, QStringList({"c.set", "b.set", "A.set"}), 0},
          std::tuple{Qt::AscendingOrder, QStringList({"A.set", "b.set", "c.set"}), 2}}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 5, 5));
        EXPECT_EQ(std::make_tuple(names(select), header->sortIndicatorOrder(), select.selectedName(),
                                  select.grid()->selectionModel()->selectedRows().value(0).row()),
                  std::make_tuple(expected, order, QString("c.set"), row));
    }

    // Delete asks until "Don't show" is ticked, in either dialog.
    select.selectSet("A.set");
    DialogHook::setNextAnswer("n");
    click(select, "btnDelete");
    EXPECT_TRUE(QFile::exists(sets + "A.set") && names(select).size() == 3);
    ModalWatch tickAndDelete([](QWidget* question) {
        dialogtest::expectTexts(*question,
                                {{"Label1", "Are you sure you want to delete backup set?"}, {"lblName", "A.set"}});
        child<QCheckBox>(*question, "SSCheck1")->setChecked(true);
        click(*question, "cmdYes");
    });
    click(select, "btnDelete");
    // "-1" is the value entry deletion reads too.
    EXPECT_EQ(
        std::make_tuple(QFile::exists(sets + "A.set"), names(select), select.selectedName(), state.deleteSuppressed),
        std::make_tuple(false, QStringList({"b.set", "c.set"}), QString(), QString("-1")));

    // From now on no question, in the other dialog as well.
    fBkSetSave save(state, "x.set", "x");
    save.show();
    save.selectSet("c.set");
    click(save, "btnDelete");
    EXPECT_EQ(std::make_tuple(QFile::exists(sets + "c.set"), names(save), tickAndDelete.unexpected),
              std::make_tuple(false, QStringList{"b.set"}, QStringList()));
}

TEST_F(SetDialogs, SaveTrimsTheNameAndAsksBeforeReplacing) {
    addSets({"Weekly.set"}, "old");
    const QByteArray old = readFile(sets + "Weekly.set");
    fBkSetSave dialog(state, "Weekly.set", "Weekly docs");
    dialog.show();
    EXPECT_EQ(QStringList({dialog.nameBox()->selectedText(), dialog.commentBox()->text()}),
              QStringList({"Weekly.set", "Weekly docs"}));
    dialog.nameBox()->setText("  Weekly ");
    dialog.commentBox()->setText("new");
    DialogHook::setNextAnswer("n");
    click(dialog, "btnSaveSet");
    EXPECT_EQ(std::make_tuple(dialog.isVisible(), dialog.nameBox()->text(), readFile(sets + "Weekly.set")),
              std::make_tuple(true, QString("Weekly.set"), old));

    DialogHook::setNextAnswer("y");
    click(dialog, "btnSaveSet");
    ASSERT_FALSE(dialog.isVisible());
    const std::optional<SetSaveChoice> choice = dialog.choice();
    ASSERT_TRUE(choice);
    EXPECT_EQ(std::tie(choice->name, choice->path, choice->comment),
              std::make_tuple(QString("Weekly.set"), sets + "Weekly.set", QString("new")));
    ASSERT_TRUE(saveBackupSet(*choice, {{"/new/", "1", "2", "*.*", ""}}));
    EXPECT_EQ(readComment(makeWorkingCopy(sets + "Weekly.set", program.app()).value()), "new");
}

TEST_F(SetDialogs, RefusedNamesShowWhyAndSaveRunsModallyAndByTheWizardsTestAnswers) {
    fBkSetSave dialog(state, "Dummy.set", "c");
    dialog.show();
    for (const QString& name : {QString("a/b"), QString(300, u'x')}) {
        dialog.nameBox()->setText(name);
        DialogHook::setNextAnswer("ok");
        click(dialog, "btnSaveSet");
        EXPECT_TRUE(dialog.isVisible() && DialogHook::shownMessages().value(0).startsWith("The backup set name"))
            << name.size();
        DialogHook::shownMessages().clear();
    }
    EXPECT_EQ(QDir(sets).entryList(QDir::Files | QDir::Hidden), QStringList());

    ModalWatch typeAndSave([](QWidget* modal) {
        child<QLineEdit>(*modal, "Text1")->setText("Daily");
        click(*modal, "btnSaveSet");
    });
    EXPECT_EQ(fBkSetSave::ask(state, "Dummy.set", "c").value().path, sets + "Daily.set");
    DialogHook::setNextAnswer("Monthly");
    EXPECT_EQ(fBkSetSave::ask(state, "Dummy.set", "c").value().name, "Monthly.set");
    DialogHook::setNextAnswer("cancel");
    EXPECT_FALSE(fBkSetSave::ask(state, "Dummy.set", "c"));
    EXPECT_TRUE(typeAndSave.unexpected.isEmpty());
}

TEST_F(SetDialogs, LongAndMarkedUpSetsShowAsTextInAWindowThatKeepsItsSize) {
    const QString longName = QString(200, 'N') + ".set";
    addSets({longName}, "<b>bold</b> & <i>more</i>");
    addSets({"Short.set"}, QString(5000, 'c'));
    fBkSet select(state);
    fBkSetSave save(state, "Short.set", QString(5000, 'c'));
    EXPECT_EQ(save.commentBox()->cursorPosition(), 0) << "a long comment shows its beginning";
    for (SetGridDialog* dialog : {static_cast<SetGridDialog*>(&select), static_cast<SetGridDialog*>(&save)}) {
        dialog->show();
        dialog->selectSet("Short.set");
        QApplication::processEvents();
        const int width = dialog->width();
        dialog->selectSet(longName);
        QApplication::processEvents();
        QTextDocument tip;
        tip.setHtml(dialog->model().index(0, 3).data(Qt::ToolTipRole).toString());
        // The long name does not widen the window; the tooltip shows the comment as text.
        EXPECT_EQ(std::make_tuple(dialog->selectedName(), dialog->width(), tip.toPlainText()),
                  std::make_tuple(longName, width, QString("<b>bold</b> & <i>more</i>")));
    }
}

TEST(PatternsDialog, EditReturnsTheReloadedPatterns) {
    CRegSettings settings("Brindlecot", "SetsDialogEdit");
    settings.SaveSetting(kSettingsSection, "Pattern02", "*.ods");
    DialogHook::setNextAnswer("ok");
    const CurrentPatterns current = fPatterns::edit(settings);
    const auto keys = settings.GetAllSettings(kSettingsSection);
    EXPECT_EQ(
        std::make_tuple(current.include[0], current.include[1], current.exclude[3],
                        std::ranges::count_if(keys, [](const auto& kv) { return kv.first.startsWith("Pattern"); })),
        std::make_tuple(QString("*.*"), QString("*.ods"), QString("pagefile.sys"), 10));
}

} // namespace
