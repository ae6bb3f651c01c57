#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// Modal questions behind replaceable functions: windows hold one of these where they would call
// a dialog directly, so tests answer them instead of a dialog that waits for a user.
namespace questions {

// Asks an integer (title, label, default, minimum, maximum); nothing when cancelled.
using IntQuestion = std::function<std::optional<int>(const QString &title, const QString &label,
                                                     int value, int min, int max)>;
// Tells something and waits for "OK" (title, text).
using Notice = std::function<void(const QString &title, const QString &text)>;
// Asks Yes or No (title, text); true for Yes.
using YesNo = std::function<bool(const QString &title, const QString &text)>;
// Asks the name of a file to save (title, starting folder, filter); "" when cancelled.
using SaveFileName =
    std::function<QString(const QString &title, const QString &folder, const QString &filter)>;
// Asks the name of an existing file to open (title, starting folder, filter); "" when cancelled.
using OpenFileName =
    std::function<QString(const QString &title, const QString &folder, const QString &filter)>;

// An address range asked as two integers titled `title`: "Минимальный адрес" (default 1) and
// "Максимальный адрес" (default `last`), each 1 to `last`. Nothing when either is cancelled.
struct Range
{
    int min, max;
};
std::optional<Range> askAddressRange(const IntQuestion &ask, const QString &title, int last);

// The toolkit's input dialog and information box over `parent`.
IntQuestion intDialog(QWidget *parent);
Notice informationBox(QWidget *parent);
// A question box with Yes and No; No is the default, since the questions guard what cannot be
// undone.
YesNo yesNoBox(QWidget *parent);
SaveFileName saveFileDialog(QWidget *parent);
OpenFileName openFileDialog(QWidget *parent);

} // namespace questions
