#include "desktop/gui/image_frame.h"

#include "desktop/app_settings.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_view.h"
#include "desktop/gui/save_dialog.h"
#include "desktop/gui/status_progress.h"
#include "desktop/gui/workspace.h"
#include "desktop/image_display.h"

#include <QCloseEvent>
#include <QMdiArea>

namespace pixmill {

ImageFrame::ImageFrame(std::unique_ptr<ImageDoc> doc, Workspace& workspace)
    : document(std::move(doc)), workspace(workspace) {
    setAttribute(Qt::WA_DeleteOnClose);
    document->SetFrontEnd(this);
    document->SetProgressDisplay(workspace.Progress());
    view = new ImageView(*document, this);
    setWidget(view);
    connect(view, &ImageView::ZoomChanged, this, [this] { UpdateTitle(); });
    connect(view, &ImageView::StatusChanged, this, &ImageFrame::StatusChanged);
    connect(view, &ImageView::SelectionChanged, this, &ImageFrame::CommandStatesChanged);
    connect(view, &ImageView::PixelsWanted, this, [this] {
        document->ReadPendingPixels();
        view->DocumentChanged();
    });
    UpdateTitle();
}

ImageFrame::~ImageFrame() {
    document->SetFrontEnd(nullptr);
}

void ImageFrame::UpdateTitle() {
    setWindowTitle(QString::fromStdString(FrameTitle(document->Title(), view->Zoom())));
}

void ImageFrame::SizeToImage(bool zoomToWindow) {
    const QSize available = mdiArea() != nullptr ? mdiArea()->viewport()->size() : QSize(800, 600);
    // Borders: what the frame adds around the view's drawing area.
    const QSize borders = size() - view->viewport()->size();
    const int margin = 8;
    const CVImage& image = document->Image();
    QSize wanted(ImageToScreen(image.Width(), view->Zoom()) + margin + borders.width(),
                 ImageToScreen(image.Height(), view->Zoom()) + margin + borders.height());
    if (wanted.width() > available.width() || wanted.height() > available.height()) {
        if (zoomToWindow) {
            view->SetZoom(FitZoom(available.width() - borders.width() - margin,
                                  available.height() - borders.height() - margin, image.Width(),
                                  image.Height()));
            wanted = QSize(ImageToScreen(image.Width(), view->Zoom()) + margin + borders.width(),
                           ImageToScreen(image.Height(), view->Zoom()) + margin + borders.height());
        }
        wanted = wanted.boundedTo(available);
    }
    resize(wanted.expandedTo(QSize(160, 120)));
}

void ImageFrame::UpdateAllViews(int hint) {
    (void)hint;
    view->DocumentChanged();
    UpdateTitle();
    emit CommandStatesChanged();
}

bool ImageFrame::RunSaveDialog(SaveSession& session) {
    SaveDialog dialog(session, workspace.Settings().image.previewDelay, this);
    return workspace.Services().RunDialog(dialog) == QDialog::Accepted;
}

void ImageFrame::closeEvent(QCloseEvent* event) {
    if (!workspace.QuerySave(this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

} // namespace pixmill
