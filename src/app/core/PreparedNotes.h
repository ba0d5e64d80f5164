#pragma once
// How a prepared row's stored note is shown. The settings file keeps the built-in notes
// ("3无注释", "十六进制数据串1") byte for byte, so a note read back may be the built-in one:
// that is no note of the user's and is shown in the interface's language.

#include <QString>

namespace zenta {

// True when note is the built-in note of row (0-based).
bool IsBuiltInNote(int row, const QString& note);
// The send button's caption: the user's note, else the built-in rows' names in the
// interface's language, else the row number.
QString NoteCaption(int row, const QString& note, bool english);
// The row text's hint; empty for no note of the user's in the English interface.
QString NoteHint(int row, const QString& note, bool english);
// What the note dialog starts with.
QString NoteToEdit(int row, const QString& note, bool english);

}  // namespace zenta
