// The backup set dialogs over a real sets folder: what they show, Select, Save with its replace question and its
// refused names, Delete with and without "Don't show ", header sorting, and a modal run of each.
#include "DialogTestUtil.h"
#include "ProgramFixture.h"
#include "app/ui/DialogHook.h"
#include "app/ui/HelpViewer.h"
#include "sets/SetListModel.h"
#include "sets/ui/fBkSet.h"
#include "sets/ui/fBkSetSave.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <functional>

using testsupport::Program;

namespace {

template <class T = QWidget> T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    EXPECT_TRUE(found) << name;
    return found;
}
void click(const QObject& dialog, const char* button) {
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

// Runs `act` on the first modal dialog that shows itself; any modal dialog shown before that, or after it with
// nothing to act, is closed and named in unexpected, so a wrong flow fails instead of hanging.
class ModalWatch {
  public:
    explicit ModalWatch(std::function<void(QWidget*)> act = {}) : m_act(std::move(act)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            if (m_act) return std::exchange(m_act, nullptr)(modal);
            unexpected << modal->objectName();
            modal->close();
        });
        m_timer.start(10);
    }
    QStringList unexpected;

  private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
};

class SetDialogs : public ::testing::Test {
  protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
    Program program;
    AppState& state = *program.state;
    QString sets = program.app() + "/Sets/";
    void addSet(const QString& name, const QString& comment) {
        ASSERT_TRUE(writeSetFile(sets + name, {comment, {{"/data/", "1", "2", "*.*", ""}}}));
    }
    static QStringList names(const SetGridDialog& d) {
        QStringList all;
        for (int r = 0; r < d.model().rowCount(); ++r)
            all << d.model().setAt(r)->name;
        return all;
    }
};

TEST_F(SetDialogs, CaptionsHelpAndAnEmptySetsFolder) {
    fBkSet select(state);
    fBkSetSave save(state, "Weekly.set", "Weekly docs");
    for (auto [dialog, heading, help] : {std::tuple<SetGridDialog*, QString, int>{&select, "Select backup Set", 126},
                                         {&save, "Save backup Set", 137}}) {
        EXPECT_EQ(dialog->windowTitle(), "Varnhold");
        EXPECT_EQ(child<QLabel>(*dialog, "Label2")->text(), heading);
        EXPECT_EQ(child<QTableView>(*dialog, "vbalGrid1")->model()->rowCount(), 0);
        for (int c = 1; c < 4; ++c)
            EXPECT_EQ(dialog->model().headerData(c, Qt::Horizontal).toString(),
                      QStringList({"Backup Set Name", "Modified", "Backup Set Comments"})[c - 1]);
        dialog->show();
        click(*dialog, "btnHelp");
        ASSERT_TRUE(currentHelpBrowser());
        EXPECT_EQ(currentHelpBrowser()->source().fragment(), QString::number(help));
    }
    // Select and Delete do nothing on an empty grid.
    ModalWatch watch;
    for (auto [dialog, button] :
         {std::pair<QDialog*, const char*>{&select, "btnSelectSet"}, {&select, "btnDelete"}, {&save, "btnDelete"}})
        click(*dialog, button);
    EXPECT_TRUE(select.isVisible() && save.isVisible());
    EXPECT_TRUE(watch.unexpected.isEmpty()) << watch.unexpected.join(",").toStdString();
    currentHelpBrowser()->window()->close();
    dialogtest::expectTexts(select, {{"btnSelectSet", " &Select", "Select backup set for zip package"},
                                     {"btnDelete", " &Delete", "Delete backup set file"},
                                     {"btnExit", " &Cancel", "Cancel"},
                                     {"btnHelp", "  &Help", "Select backup set help contents"}});
    dialogtest::expectTexts(save, {{"btnSaveSet", " &Save", "Save backup set for zip package"},
                                   {"btnHelp", "  &Help", "Save backup set help contents"}});
}

TEST_F(SetDialogs, ADoubleClickPicksASetAndAVanishedSetKeepsTheDialogOpen) {
    addSet("Weekly.set", "Weekly docs");
    addSet("old.set", "Old");
    ModalWatch pickWeekly([](QWidget* modal) {
        auto* grid = child<QTableView>(*modal, "vbalGrid1");
        EXPECT_EQ(grid->model()->index(1, 3).data().toString(), "Weekly docs");
        const QPoint at = grid->visualRect(grid->model()->index(1, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(child<QLabel>(*modal, "Label1")->text(), "Weekly.set");
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at); // picks it, as Select does
    });
    EXPECT_EQ(fBkSet::pick(state), sets + "Weekly.set");

    fBkSet dialog(state);
    dialog.show();
    ASSERT_TRUE(dialog.selectSet("old.set"));
    QFile::remove(sets + "old.set");
    click(dialog, "btnSelectSet");
    EXPECT_TRUE(dialog.isVisible());
    click(dialog, "btnExit");
    EXPECT_TRUE(dialog.chosenPath().isEmpty() && pickWeekly.unexpected.isEmpty());
}

TEST_F(SetDialogs, HeaderClicksSortAndTheSelectionStays) {
    for (const char* name : {"b.set", "A.set", "c.set"})
        addSet(name, name);
    fBkSet dialog(state);
    dialog.show();
    EXPECT_EQ(names(dialog), QStringList({"A.set", "b.set", "c.set"}));
    dialog.selectSet("c.set");
    QHeaderView* header = dialog.grid()->horizontalHeader();
    // A second click on the same header reverses the order; the selected set keeps its selection.
    for (const auto& [order, expected, row] :
         {std::tuple{Qt::DescendingOrder, QStringList({"c.set", "b.set", "A.set"}), 0},
          std::tuple{Qt::AscendingOrder, QStringList({"A.set", "b.set", "c.set"}), 2}}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 5, 5));
        EXPECT_EQ(names(dialog), expected);
        EXPECT_EQ(std::make_tuple(header->sortIndicatorOrder(), dialog.selectedName(),
                                  dialog.grid()->selectionModel()->selectedRows().value(0).row()),
                  std::make_tuple(order, QString("c.set"), row));
    }
}

TEST_F(SetDialogs, DeleteAsksUntilDontShowIsTickedInEitherDialog) {
    for (const char* name : {"a.set", "b.set", "c.set"})
        addSet(name, name);
    const auto gone = [&](const char* name) { return !QFile::exists(sets + name); };
    fBkSet select(state);
    select.show();
    select.selectSet("a.set");
    DialogHook::setNextAnswer("n");
    click(select, "btnDelete");
    EXPECT_TRUE(!gone("a.set") && names(select).size() == 3);
    ModalWatch tickAndDelete([](QWidget* question) {
        dialogtest::expectTexts(*question,
                                {{"Label1", "Are you sure you want to delete backup set?"}, {"lblName", "a.set"}});
        child<QCheckBox>(*question, "SSCheck1")->setChecked(true);
        click(*question, "cmdYes");
    });
    click(select, "btnDelete");
    EXPECT_TRUE(gone("a.set"));
    EXPECT_EQ(std::make_tuple(names(select), select.selectedName()),
              std::make_tuple(QStringList({"b.set", "c.set"}), QString()));
    EXPECT_EQ(state.deleteSuppressed, "-1"); // the value entry deletion reads too

    // From now on no question, in the other dialog as well.
    fBkSetSave save(state, "x.set", "x");
    save.show();
    save.selectSet("c.set");
    click(save, "btnDelete");
    EXPECT_TRUE(gone("c.set"));
    EXPECT_EQ(names(save), QStringList{"b.set"});
    EXPECT_TRUE(tickAndDelete.unexpected.isEmpty()) << tickAndDelete.unexpected.join(",").toStdString();
}

TEST_F(SetDialogs, SaveTrimsTheNameAndAsksBeforeReplacing) {
    addSet("Weekly.set", "old");
    const QByteArray old = testsupport::readFile(sets + "Weekly.set");
    fBkSetSave dialog(state, "Weekly.set", "Weekly docs");
    dialog.show();
    EXPECT_EQ(QStringList({dialog.nameBox()->selectedText(), dialog.commentBox()->text()}),
              QStringList({"Weekly.set", "Weekly docs"}));
    dialog.nameBox()->setText("  Weekly ");
    dialog.commentBox()->setText("new");
    DialogHook::setNextAnswer("n");
    click(dialog, "btnSaveSet");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(std::make_tuple(dialog.nameBox()->text(), testsupport::readFile(sets + "Weekly.set")),
              std::make_tuple(QString("Weekly.set"), old));

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

TEST_F(SetDialogs, RefusedNamesShowWhyAndKeepTheDialogOpen) {
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
}

TEST_F(SetDialogs, SaveRunsModallyAndByTheWizardsTestAnswers) {
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
    addSet(longName, "<b>bold</b> & <i>more</i>");
    addSet("Short.set", QString(5000, 'c'));
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
        EXPECT_EQ(std::make_tuple(dialog->selectedName(), dialog->width()), std::make_tuple(longName, width))
            << "the long name does not widen the window";
        QTextDocument tip;
        tip.setHtml(dialog->model().index(0, 3).data(Qt::ToolTipRole).toString());
        EXPECT_EQ(tip.toPlainText(), "<b>bold</b> & <i>more</i>") << "the tooltip shows the comment as text";
    }
    for (const auto& [dialog, order] :
         {std::pair<QDialog*, QStringList>{&select, {"vbalGrid1", "btnSelectSet", "btnDelete", "btnExit", "btnHelp"}},
          {&save, {"vbalGrid1", "Text1", "Text4", "btnSaveSet", "btnDelete", "btnExit", "btnHelp"}}})
        EXPECT_EQ(testsupport::tabOrder(*dialog, order), order);
}

} // namespace
