#pragma once

#include <QByteArray>

namespace pictures {

// Corrects libwmf's SVG for Qt Svg: declares the namespaces, places embedded bitmaps once
// (libwmf sets both their destination rectangle and a transform that moves and scales
// them again), fills shapes opaquely (libwmf halves fill opacity in transparent background
// mode, which only concerns hatch and text backgrounds) and escapes text, read as
// Windows-1252.
QByteArray RepairWmfSvg(const QByteArray& svg);

} // namespace pictures
