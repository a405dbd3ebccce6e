// The small pictures of the buttons, drawn here rather than loaded.
#pragma once

#include <QIcon>
#include <QPixmap>

class QWidget;

namespace toponyx::desktop {

QPixmap TickGlyph();  // 16 x 16 green tick of a finished stage
QIcon FolderGlyph();  // an open folder: the dialogs that pick folders and files
QIcon GlobeGlyph();   // the web location

// The compact sans-serif font of the program's forms (11 pixels).
void UseFormFont(QWidget* form);

}  // namespace toponyx::desktop
