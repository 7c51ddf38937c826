#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include <vector>

// Writes a picture of one color to `path` in the format its suffix names (any format Qt
// writes). Returns false when it could not be written.
bool WriteSolidImage(const QString& path, QSize size, QColor color, const char* format = nullptr);

// Writes `bytes` to `path` as they are: damaged files and files of other kinds.
bool WriteBytes(const QString& path, const QByteArray& bytes);

// An icon file with one PNG-coded entry per picture, in the given order.
struct IconEntry
{
    QSize size;
    QColor color;
};
bool WriteIcon(const QString& path, const std::vector<IconEntry>& entries);
