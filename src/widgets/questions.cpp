#include "widgets/questions.h"

#include <QInputDialog>
#include <QMessageBox>

namespace questions {

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

} // namespace questions
