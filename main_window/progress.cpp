#include "main_window/frmMosaq.h"
#include "main_window/progress_geometry.h"

#include <QCoreApplication>

// Lays the progress indicator over the status bar's second panel, empty, and shows it.
void frmMosaq::PlaceProgressBar()
{
    picProgress->Cls();
    picProgress->SetBackColor(SystemColor::kButtonFace);
    picProgress->SetForeColor(SystemColor::kButtonText);
    picProgress->setGeometry(ProgressFrameRect(sbrMain->geometry(), sbrMain->PanelRect(2)));
    picProgressSlide->Cls();
    picProgressSlide->SetBackColor(SystemColor::kHighlight);
    picProgressSlide->SetForeColor(SystemColor::kHighlightText);
    picProgressSlide->setGeometry(0, 0, 1, picProgress->ScaleHeight());
    picProgress->raise();
    picProgress->show();
}

// Draws the indicator at `percent` with `text`, then lets the window handle its events.
// The text is drawn twice, over the frame and over the fill, so that the part of it over
// the fill shows in the highlight colors.
void frmMosaq::ShowProgress(int percent, const QString& text)
{
    picProgress->Cls();
    picProgressSlide->Cls();
    picProgressSlide->resize(ProgressFillWidth(percent, picProgress->ScaleWidth()),
                             picProgressSlide->height());
    const int top = ProgressTextTop(picProgress->ScaleHeight(),
                                    static_cast<int>(picProgress->TextHeight(text)));
    const QPointF at(3, top);
    picProgress->DrawText(at, text);
    picProgressSlide->DrawText(at, text);
    QCoreApplication::processEvents();
}
