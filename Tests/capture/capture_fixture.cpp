// A small window for the capture tests: one line edit holding a text with part of it
// selected. It reports on standard output, one line each:
//   ready <window id> <width> <height>   once the window is shown and active
//   text <the field's text as JSON string> whenever the text changes
// Arguments: the text, the selection start and the selection length (UTF-16 units).
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

namespace {

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray jsonString(const QString &text)
{
    QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString text = args.value(1, QStringLiteral("Hello brave new world"));
    const int start = args.value(2, QStringLiteral("6")).toInt();
    const int length = args.value(3, QStringLiteral("5")).toInt();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Capture fixture"));
    auto *layout = new QVBoxLayout(&window);
    auto *field = new QLineEdit(text, &window);
    field->setAccessibleName(QStringLiteral("fixture field"));
    layout->addWidget(field);
    window.setFixedSize(420, 120);

    QObject::connect(field, &QLineEdit::textChanged, [](const QString &value) { say("text " + jsonString(value)); });

    window.show();
    field->setFocus();
    field->setSelection(start, length);

    // Announce once the window manager has made the window active.
    auto *poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (!window.isActiveWindow())
            return;
        poll->stop();
        say("ready " + QByteArray::number(window.winId()) + ' ' + QByteArray::number(window.width() * window.devicePixelRatio()) + ' '
            + QByteArray::number(window.height() * window.devicePixelRatio()));
    });
    poll->start(20);
    return app.exec();
}
