#include "notice_line.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

namespace {

constexpr const char* kNotice = "solvaneNotice";

class NoticeAccessible final : public QAccessibleWidget {
public:
    explicit NoticeAccessible(QWidget* line) : QAccessibleWidget(line, QAccessible::Notification) {}
};

QAccessibleInterface* noticeFactory(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->property(kNotice).toBool())
        return new NoticeAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

QWidget* line(const QWidget& form1) { return form1.findChild<QWidget*>(QStringLiteral("noticeLine")); }

QLabel* lineText(const QWidget& form1)
{
    QWidget* notice = line(form1);
    return notice ? notice->findChild<QLabel*>() : nullptr;
}

} // namespace

void DescribeNoticeLine(QWidget& form1)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(noticeFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    QWidget* notice = line(form1);
    if (!notice)
        return;
    notice->setProperty(kNotice, true);
    notice->setAccessibleName(QStringLiteral("Notice"));
    // An interface made before now has the frame's role: made again on the next query.
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(notice);
        iface && iface->role() != QAccessible::Notification)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

void ShowNotice(QWidget& form1, const QString& text)
{
    QLabel* label = lineText(form1);
    if (!label)
        return;
    label->setText(text);
    QAccessibleEvent shown(line(form1), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

QString NoticeText(const QWidget& form1)
{
    const QLabel* label = lineText(form1);
    return label ? label->text() : QString();
}
