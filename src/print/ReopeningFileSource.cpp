#include "print/ReopeningFileSource.h"

#include <algorithm>
#include <cstdio>

OpenFileBudget::~OpenFileBudget()
{
    closeAll();
}

void OpenFileBudget::opened(ReopeningFileSource *source)
{
    open_.remove(source);
    open_.push_front(source);
    while (int(open_.size()) > limit_) {
        ReopeningFileSource *oldest = open_.back();
        open_.pop_back();
        oldest->close();  // calls forget(), which finds it gone already
    }
}

void OpenFileBudget::forget(ReopeningFileSource *source)
{
    open_.remove(source);
}

void OpenFileBudget::closeAll()
{
    // close() removes each from the list; copy first so the walk stays valid.
    const std::list<ReopeningFileSource *> all = open_;
    for (ReopeningFileSource *source : all)
        source->close();
    open_.clear();
}

ReopeningFileSource::ReopeningFileSource(const std::string &path, OpenFileBudget *budget)
    : path_(path), budget_(budget)
{
}

ReopeningFileSource::~ReopeningFileSource()
{
    if (file_ && budget_)
        budget_->forget(this);
}

void ReopeningFileSource::close()
{
    if (!file_)
        return;
    offset_ = file_->tell();
    file_.reset();
    if (budget_)
        budget_->forget(this);
}

FileInputSource &ReopeningFileSource::file()
{
    if (!file_) {
        auto reopened = std::make_unique<FileInputSource>(path_.c_str());  // throws when it cannot
        reopened->seek(offset_, SEEK_SET);
        file_ = std::move(reopened);
    }
    if (budget_)
        budget_->opened(this);
    return *file_;
}

qpdf_offset_t ReopeningFileSource::findAndSkipNextEOL()
{
    FileInputSource &f = file();
    const qpdf_offset_t result = f.findAndSkipNextEOL();
    setLastOffset(f.getLastOffset());
    return result;
}

qpdf_offset_t ReopeningFileSource::tell()
{
    return file_ ? file_->tell() : offset_;
}

void ReopeningFileSource::seek(qpdf_offset_t offset, int whence)
{
    file().seek(offset, whence);
}

void ReopeningFileSource::rewind()
{
    file().rewind();
}

size_t ReopeningFileSource::read(char *buffer, size_t length)
{
    FileInputSource &f = file();
    const size_t n = f.read(buffer, length);
    setLastOffset(f.getLastOffset());
    return n;
}

void ReopeningFileSource::unreadCh(char ch)
{
    file().unreadCh(ch);
}
