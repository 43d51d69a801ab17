#pragma once

// What a screen reader sees of an ImageButton: a push button named by its
// accessible name where it has one (a socket's), else by the picture's hint,
// whose press is a whole click, as the mouse gives it.

#include <QAccessibleWidget>

class ImageButton;

class ImageButtonAccessible final : public QAccessibleWidget {
public:
    explicit ImageButtonAccessible(ImageButton* button);

    // Makes every ImageButton answer through this class; safe to call again.
    static void Install();

    QString text(QAccessible::Text kind) const override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;

private:
    ImageButton* Button() const;
};
