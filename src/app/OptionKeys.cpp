#include "OptionKeys.h"

#include <QHash>
#include <QStandardPaths>

namespace OptionKeys {

const QStringList& generalKeys() {
    static const QStringList keys = [] {
        QStringList k;
        for (int i = 0; i <= 15; ++i) k << QString("Options%1").arg(i, 2, 10, QChar('0'));
        return k;
    }();
    return keys;
}

const QStringList& extractKeys() {
    static const QStringList keys = {"Optionse1", "Optionse2", "Optionse3", "Optionse4", "Optionse5", "Optionse6",
                                     "Optionse7", "Optionse8", "Optionse9", "Optionsea", "Optionseb", "Optionsec"};
    return keys;
}

QStringList allKeys() { return generalKeys() + extractKeys(); }

QString defaultFor(const QString& key, const AppFolders& f) {
    const QString app = f.app;
    if (key == "Options00") return app;
    if (key == "Options01") return "3";
    if (key == "Options02") return "1";
    if (key == "Options03") return "2";
    if (key == "Options04") return f.viewer;
    if (key == "Options05") return "0";
    if (key == "Options06") return app + "/Temp/";
    if (key == "Options07") return app + "/Extract/";
    if (key == "Options08") return app + "/Sets/";
    if (key == "Options09") return app + "/Zips/";
    if (key == "Options10") return "Test.Zip";
    if (key == "Options11") return app + "/Zips/";
    if (key == "Options12") return app + "/Make/";
    if (key == "Options13") return app + "/Split/";
    if (key == "Options14") return "1457664";
    if (key == "Options15") return "1";
    if (key == "Optionse1") return "-1";
    if (key == "Optionse2") return "0";
    if (key == "Optionse3") return "-1";
    if (key == "Optionse4") return "";
    if (key == "Optionse5") return "-1";
    if (key == "Optionse6") return "0";
    if (key == "Optionse7") return "-1";
    if (key == "Optionse8") return "0";
    if (key == "Optionse9") return app + "/Extract/";
    return ""; // Optionsea, Optionseb, Optionsec and anything unknown
}

} // namespace OptionKeys

QString findDefaultViewer() {
    static const char* candidates[] = {"gnome-text-editor", "gedit", "mousepad", "kate", "kwrite", "pluma",
                                       "xed", "featherpad", "leafpad", "xdg-open"};
    for (const char* name : candidates) {
        QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found;
    }
    return QStringLiteral("/usr/bin/xdg-open");
}
