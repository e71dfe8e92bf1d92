#include "reports/pagesink.h"

#include "reports/layoutwriter.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>

namespace kestrel::reports {

namespace {
constexpr int PdfResolution = 1200;
}

void preparePdfWriter(QPdfWriter& writer)
{
    writer.setResolution(PdfResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Inch));
    writer.setCreator(QStringLiteral("KESTREL"));
}

PdfSink::PdfSink(const QString& fileName, QTextStream* layout) : fileName_(fileName), layout_(layout) {}

PdfSink::~PdfSink()
{
    finish();
}

void PdfSink::addPage(Page&& page)
{
    if (failed_)
        return;
    if (!writer_) {
        writer_ = std::make_unique<QPdfWriter>(fileName_);
        preparePdfWriter(*writer_);
        painter_ = std::make_unique<QPainter>();
        if (!painter_->begin(writer_.get())) {
            failed_ = true;
            return;
        }
    } else if (!writer_->newPage()) {
        failed_ = true;
        return;
    }
    painter_->save();
    scaleToMils(*painter_, *writer_);
    paintPage(page, *painter_);
    painter_->restore();
    ++count_;
    if (layout_)
        *layout_ << layoutLines(page, count_);
}

bool PdfSink::finish(QString* error)
{
    if (painter_ && painter_->isActive() && !painter_->end())
        failed_ = true;
    painter_.reset();
    writer_.reset();
    if (layout_)
        layout_->flush();
    if (!failed_ && count_ > 0 && QFileInfo(fileName_).size() > 0)
        return true;
    if (error)
        *error = count_ == 0 && !failed_ ? QStringLiteral("no pages to write")
                                          : QStringLiteral("cannot write %1").arg(fileName_);
    return false;
}

bool savePdf(const std::vector<Page>& pages, const QString& fileName, QString* error)
{
    PdfSink sink(fileName);
    for (const Page& p : pages)
        sink.addPage(Page(p));
    return sink.finish(error);
}

} // namespace kestrel::reports
