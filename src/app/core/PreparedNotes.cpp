#include "app/core/PreparedNotes.h"

#include "app/core/SettingsFile.h"

namespace zenta {

namespace {

QString BuiltInNote(int row) {
    if (row < 0 || row >= kPreparedRows) {
        return {};
    }
    return DefaultPreparedRows()[static_cast<std::size_t>(row)].note;
}

}  // namespace

bool IsBuiltInNote(int row, const QString& note) {
    return !note.isEmpty() && note == BuiltInNote(row);
}

QString NoteCaption(int row, const QString& note, bool english) {
    const QString number = QString::number(row + 1);
    if (note.isEmpty()) {
        return number;  // an empty caption would leave a blank button
    }
    if (!IsBuiltInNote(row, note)) {
        return note;
    }
    switch (row) {
        case 0:
            return english ? QStringLiteral("HEX string 1") : note;
        case 1:
            return english ? QStringLiteral("String 1") : note;
        default:
            return number;
    }
}

QString NoteHint(int row, const QString& note, bool english) {
    if (english && IsBuiltInNote(row, note)) {
        return row <= 1 ? NoteCaption(row, note, true) : QStringLiteral("No note");
    }
    return note;
}

QString NoteToEdit(int row, const QString& note, bool english) {
    return english && IsBuiltInNote(row, note) ? QString() : note;
}

}  // namespace zenta
