#pragma once
// The built-in help viewer: shows the section of the program's HTML help for a context number.

class QTextBrowser;
class QWidget;

/// Opens the help at the topic of context (100 contents, 120 extract options, ...), owned by owner.
/// The viewer is one modeless window: a later call moves it to the new topic (and owner) instead of opening
/// another. A context the help does not know opens the contents.
void showHelpTopic(QWidget* owner, int context);

/// The open viewer's browser, or nullptr when the help is not open.
QTextBrowser* currentHelpBrowser();
