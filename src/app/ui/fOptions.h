#pragma once
// The folder settings dialog: the default file viewer and the six default folders, each in a box the user may
// type into or fill with its browse button. A folder picked by browsing is stored at once; every box is stored
// as it stands when the dialog closes, however it is closed.

#include "app/OptionKeys.h"
#include "app/ui/AnswerableDialog.h"

#include <array>

class AppState;
class QLineEdit;
class QPushButton;

class fOptions : public AnswerableDialog {
    Q_OBJECT
  public:
    /// The boxes, numbered as the settings file's readers have always known them (Text0 to Text6).
    enum class Box { Extract = 0, Sets = 1, Temp = 2, Viewer = 3, Make = 4, Zip = 5, Split = 6 };
    static constexpr int kBoxCount = 7;

    explicit fOptions(AppState& state, QWidget* parent = nullptr);

    /// A folder picked by a folder box's browse button: into the box with its trailing "/", and stored at once.
    void usePickedFolder(Box box, const QString& folder);
    /// A program picked by the viewer's browse button: into the box; it is stored when the dialog closes.
    void usePickedViewer(const QString& program);
    /// The option each box holds.
    static Option optionOf(Box box);

  protected:
    /// Every way of closing stores the boxes.
    void done(int result) override;

  private:
    void load();
    void browseFolder(Box box);
    void browseViewer();
    void storeBoxes();
    QLineEdit* edit(Box box) const { return m_boxes[std::size_t(box)]; }

    AppState& m_state;
    std::array<QLineEdit*, kBoxCount> m_boxes{};
    QPushButton* m_btnHelp;
    QPushButton* m_btnExit;
};
