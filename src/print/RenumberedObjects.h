#pragma once
// One PDF's pages and everything they refer to, written as objects of another PDF that is being
// put together: numbered on from the objects before them, their page tree the other file's,
// stream data copied as it is stored. What the pages refer to is found by following references
// from them, so nothing else of the source (its catalog, other pages' leftovers) comes along.

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4  // the current handle type, without the warning about the old one
#endif
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QByteArray>
#include <QVector>

#include <map>
#include <utility>
#include <vector>

// Object numbers the target keeps for itself: its catalog and the root of its page tree.
inline constexpr int CatalogObject = 1;
inline constexpr int PagesObject = 2;

class RenumberedObjects {
public:
    RenumberedObjects(QPDF &source, int firstNumber) : source_(source), next_(firstNumber) {}

    // The message's pages, numbered first so that the first is its bookmark's target.
    QVector<int> addPages(const std::vector<QPDFPageObjectHelper> &pages);
    // Writes every queued object; offsets relative to the start of `out`.
    void writeAll(QByteArray &out, QVector<qint64> &offsets);

private:
    int numberOf(QPDFObjectHandle object);
    void writeValue(QPDFObjectHandle value, QByteArray &out);
    void writeDictionary(QPDFObjectHandle dictionary, QByteArray &out, const char *skip = nullptr);
    void writeObject(QPDFObjectHandle object, bool page, QByteArray &out);

    QPDF &source_;
    int next_;
    std::map<QPDFObjGen, int> numbers_;
    std::vector<std::pair<QPDFObjGen, bool>> queue_;  // (object, is a page) in number order
};
