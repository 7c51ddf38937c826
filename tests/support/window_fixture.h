#pragma once

#include "main_window/frmMosaq.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A window with a settings file of its own in a temporary folder, and a folder picker
// that answers what the test tells it to.
class WindowFixture : public ::testing::Test
{
protected:
    QString SettingsFile() const { return temp_.filePath(QStringLiteral("tessellon.ini")); }
    QString TempPath(const QString& name) const { return temp_.filePath(name); }
    void WriteSettingsText(const QByteArray& text) const;
    QByteArray SettingsText() const;

    // A window created and loaded, not shown.
    std::unique_ptr<frmMosaq> NewWindow();
    // A window shown and activated, its first folder opening done.
    std::unique_ptr<frmMosaq> ShowWindow();
    // A shown window whose stored last folder is `folder`.
    std::unique_ptr<frmMosaq> ShowWindowAt(const QString& folder);

    QString pickerAnswer_;
    int pickerCalls_ = 0;
    QString pickerInitial_;

private:
    QTemporaryDir temp_;
};
