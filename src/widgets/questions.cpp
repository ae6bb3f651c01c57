#include "widgets/questions.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace questions {

std::optional<Range> askAddressRange(const IntQuestion &ask, const QString &title, int last)
{
    const std::optional<int> min = ask(title, QObject::tr("Минимальный адрес"), 1, 1, last);
    if (!min)
        return std::nullopt;
    const std::optional<int> max = ask(title, QObject::tr("Максимальный адрес"), last, 1, last);
    if (!max)
        return std::nullopt;
    return Range{*min, *max};
}

IntQuestion intDialog(QWidget *parent)
{
    return [parent](const QString &title, const QString &label, int value, int min,
                    int max) -> std::optional<int> {
        bool ok = false;
        const int v = QInputDialog::getInt(parent, title, label, value, min, max, 1, &ok);
        return ok ? std::optional<int>(v) : std::nullopt;
    };
}

Notice informationBox(QWidget *parent)
{
    return [parent](const QString &title, const QString &text) {
        QMessageBox::information(parent, title, text);
    };
}

YesNo yesNoBox(QWidget *parent)
{
    return [parent](const QString &title, const QString &text) {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
}

SaveFileName saveFileDialog(QWidget *parent)
{
    return [parent](const QString &title, const QString &folder, const QString &filter) {
        return QFileDialog::getSaveFileName(parent, title, folder, filter);
    };
}

OpenFileName openFileDialog(QWidget *parent)
{
    return [parent](const QString &title, const QString &folder, const QString &filter) {
        return QFileDialog::getOpenFileName(parent, title, folder, filter);
    };
}

} // namespace questions
