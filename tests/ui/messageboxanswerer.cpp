#include "messageboxanswerer.h"

#include <QApplication>
#include <QMetaEnum>
#include <QPushButton>
#include <QTest>

namespace {

// The buttons and icons the program's boxes may have, by name.
const std::pair<QMessageBox::StandardButton, const char*> kButtons[] = {
    {QMessageBox::Ok, "Ok"}, {QMessageBox::Yes, "Yes"}, {QMessageBox::No, "No"}};

QString buttonName(QMessageBox::StandardButton button) {
    for (const auto& [value, name] : kButtons) {
        if (value == button) {
            return QString::fromLatin1(name);
        }
    }
    return QStringLiteral("button %1").arg(int(button));
}

QMessageBox::StandardButton buttonNamed(const QString& name) {
    for (const auto& [value, known] : kButtons) {
        if (name == QLatin1String(known)) {
            return value;
        }
    }
    return QMessageBox::NoButton;
}

QString iconName(QMessageBox::Icon icon) {
    return QString::fromLatin1(QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(int(icon)));
}

}  // namespace

QString overrideCursorName() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    if (!cursor) {
        return QStringLiteral("none");
    }
    switch (cursor->shape()) {
        case Qt::WaitCursor:
            return QStringLiteral("Wait");
        case Qt::ArrowCursor:
            return QStringLiteral("Arrow");
        default:
            return QStringLiteral("shape %1").arg(int(cursor->shape()));
    }
}

MessageBoxAnswerer::MessageBoxAnswerer(QStringList answers) : m_answers(std::move(answers)) {
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::look);
    m_timer.start(10);
}

QString MessageBoxAnswerer::describe(QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton,
                                     const QString& cursor, const QString& prompt) {
    QStringList names;
    for (const auto& [value, name] : kButtons) {
        if (buttons.testFlag(value)) {
            names << QString::fromLatin1(name);
        }
    }
    if (names.size() != qPopulationCount(uint(buttons))) {
        names << QStringLiteral("others");
    }
    return QStringLiteral("%1 [%2] default %3, cursor %4: %5")
        .arg(iconName(icon), names.join(QLatin1Char(' ')), buttonName(defaultButton), cursor,
             prompt);
}

void MessageBoxAnswerer::look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
        return;
    }
    const QMessageBox::StandardButton defaultButton =
        box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    QString line = describe(box->icon(), box->standardButtons(), defaultButton,
                            overrideCursorName(), box->text());
    if (box->windowTitle() != QLatin1String("Trackfold")) {
        line += QStringLiteral(" (title ") + box->windowTitle() + QLatin1Char(')');
    }
    if (box->textFormat() != Qt::PlainText) {
        line += QStringLiteral(" (not plain text)");
    }
    seen << line;

    if (m_answers.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Escape);
        return;
    }
    const QString answer = m_answers.takeFirst();
    QAbstractButton* button = box->button(buttonNamed(answer));
    if (!button) {
        seen << QStringLiteral("no button ") + answer;
        QTest::keyClick(box, Qt::Key_Escape);
        return;
    }
    button->click();
}
