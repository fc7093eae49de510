#include "PasswordBox.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace {

class StarMaskStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

void setPasswordHidden(QLineEdit* box, bool hidden) {
    // The style belongs to the box, so it goes when the box goes; it is made once per box.
    if (!box->property("varnholdStarMask").toBool()) {
        auto* mask = new StarMaskStyle;
        mask->setParent(box);
        box->setStyle(mask);
        box->setProperty("varnholdStarMask", true);
    }
    box->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
}
