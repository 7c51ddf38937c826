#pragma once

#include <QFileInfo>
#include <QString>

// Whether this test runs as a Windows program under Wine rather than on Windows itself;
// false wherever it is not a Windows program.
bool RunningUnderWine();

// Files of the shared corpus whose playback crashes Wine's own GDI inside gdi32 (Windows'
// GDI is another implementation): several of the damaged EMF files, and one WMF whose
// bitmap record crashes it after the records before it. Tests under Wine leave them out.
inline bool CrashesWineGdi(const QString& path)
{
    return RunningUnderWine() &&
           (path.contains(QLatin1String("/emf-corrupted/")) ||
            QFileInfo(path).fileName() == QLatin1String("test_libuemf_ref.wmf"));
}
