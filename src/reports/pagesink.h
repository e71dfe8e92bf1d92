#pragma once
// Where a report's finished pages go. The preview wants them all in memory;
// a PDF written from the command line takes each page as it is finished and
// keeps none, so a batch of thousands of claims needs no more memory than one.

#include "reports/page.h"

#include <QString>

#include <memory>

class QPdfWriter;
class QPainter;
class QTextStream;

namespace kestrel::reports {

class PageSink {
public:
    virtual ~PageSink() = default;
    // Called once per page, in order, on the thread that renders the report.
    virtual void addPage(Page&& page) = 0;
};

// Keeps every page, for the preview and the printer.
class PageList : public PageSink {
public:
    void addPage(Page&& page) override { pages.push_back(std::move(page)); }
    std::vector<Page> pages;
};

// Paints each page into a PDF file as it arrives (vector text, searchable)
// and, when given a stream, writes its layout lines there too. The file is
// complete once the sink is finished or destroyed.
class PdfSink : public PageSink {
public:
    explicit PdfSink(const QString& fileName, QTextStream* layout = nullptr);
    ~PdfSink() override;
    void addPage(Page&& page) override;
    // Ends the file. False, with the reason in *error, when it could not be written.
    bool finish(QString* error = nullptr);
    int pageCount() const { return count_; }

private:
    QString fileName_;
    QTextStream* layout_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
    int count_ = 0;
    bool failed_ = false;
};

// Sets up a PDF writer for US Letter portrait pages without margins, so
// that its origin is the paper's corner; the resolution is 1200 dpi.
void preparePdfWriter(QPdfWriter& writer);

// Writes the pages to a PDF file. False, with the reason in *error, on failure.
bool savePdf(const std::vector<Page>& pages, const QString& fileName, QString* error = nullptr);

} // namespace kestrel::reports
