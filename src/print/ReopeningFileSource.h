#pragma once
// A PDF file that qpdf reads through a file descriptor opened only while it is in use. A
// combined document keeps a source per message alive until it is written (its pages' streams
// are read from there at the end); a thousand messages must not hold a thousand open files.
// Sources that share one OpenFileBudget keep at most its limit of files open at a time,
// closing the one used least recently; a closed source reopens where it left off.

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4  // the current handle type, without the warning about the old one
#endif
#include <qpdf/FileInputSource.hh>
#include <qpdf/InputSource.hh>

#include <list>
#include <memory>
#include <string>

class ReopeningFileSource;

class OpenFileBudget {
public:
    explicit OpenFileBudget(int limit) : limit_(limit < 1 ? 1 : limit) {}
    ~OpenFileBudget();
    OpenFileBudget(const OpenFileBudget &) = delete;
    OpenFileBudget &operator=(const OpenFileBudget &) = delete;

    // `source` has just opened its file: it moves to the front and the least recently used
    // beyond the limit close theirs.
    void opened(ReopeningFileSource *source);
    void forget(ReopeningFileSource *source);
    void closeAll();
    int openCount() const { return int(open_.size()); }

private:
    int limit_;
    std::list<ReopeningFileSource *> open_;  // most recently used first
};

class ReopeningFileSource : public InputSource {
public:
    ReopeningFileSource(const std::string &path, OpenFileBudget *budget);
    ~ReopeningFileSource() override;

    void close();  // drops the descriptor, keeping the place
    bool isOpen() const { return bool(file_); }

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const &getName() const override { return path_; }
    qpdf_offset_t tell() override;
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override;
    size_t read(char *buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    FileInputSource &file();

    std::string path_;
    OpenFileBudget *budget_;
    std::unique_ptr<FileInputSource> file_;
    qpdf_offset_t offset_ = 0;  // where a closed file is to be read on
};
