#include "print/RenumberedObjects.h"

#include <qpdf/Buffer.hh>

namespace {

constexpr int NullObject = 0;  // an object left out (the source's catalog): written as null

}  // namespace

QVector<int> RenumberedObjects::addPages(const std::vector<QPDFPageObjectHelper> &pages)
{
    QVector<int> numbers;
    for (QPDFPageObjectHelper page : pages) {
        QPDFObjectHandle object = page.getObjectHandle();
        QPDFObjectHandle parent = object.getKey("/Parent");
        if (parent.isIndirect())
            numbers_.emplace(parent.getObjGen(), PagesObject);  // the source's tree becomes ours
        numbers_.emplace(object.getObjGen(), next_);
        queue_.emplace_back(object.getObjGen(), true);
        numbers << next_++;
    }
    QPDFObjectHandle root = source_.getRoot();
    if (root.isIndirect())
        numbers_.emplace(root.getObjGen(), NullObject);
    return numbers;
}

int RenumberedObjects::numberOf(QPDFObjectHandle object)
{
    const auto [place, added] = numbers_.emplace(object.getObjGen(), next_);
    if (added) {
        queue_.emplace_back(object.getObjGen(), false);
        ++next_;
    }
    return place->second;
}

void RenumberedObjects::writeValue(QPDFObjectHandle value, QByteArray &out)
{
    if (value.isIndirect()) {
        const int number = numberOf(value);
        out += number == NullObject ? QByteArray("null") : QByteArray::number(number) + " 0 R";
    } else if (value.isDictionary()) {
        writeDictionary(value, out);
    } else if (value.isArray()) {
        out += '[';
        for (QPDFObjectHandle item : value.getArrayAsVector()) {
            out += ' ';
            writeValue(item, out);
        }
        out += " ]";
    } else {
        out += QByteArray::fromStdString(value.unparse());
    }
}

void RenumberedObjects::writeDictionary(QPDFObjectHandle dictionary, QByteArray &out, const char *skip)
{
    out += "<<";
    for (const std::string &key : dictionary.getKeys()) {
        if (skip && key == skip)
            continue;
        out += ' ' + QByteArray::fromStdString(QPDFObjectHandle::newName(key).unparse()) + ' ';
        writeValue(dictionary.getKey(key), out);
    }
    out += " >>";
}

void RenumberedObjects::writeObject(QPDFObjectHandle object, bool page, QByteArray &out)
{
    if (page) {
        out += "<< /Parent 2 0 R";
        QByteArray rest;
        writeDictionary(object, rest, "/Parent");
        out += rest.mid(2);
    } else if (object.isStream()) {
        // Stored data as it is (still compressed), one stream in memory at a time.
        const std::shared_ptr<Buffer> data = object.getRawStreamData();
        QPDFObjectHandle dictionary = object.getDict().shallowCopy();
        dictionary.replaceKey("/Length", QPDFObjectHandle::newInteger(qint64(data->getSize())));
        writeDictionary(dictionary, out);
        out += "\nstream\n";
        out.append(reinterpret_cast<const char *>(data->getBuffer()), qsizetype(data->getSize()));
        out += "\nendstream";
    } else {
        writeValue(object.isIndirect() ? object.shallowCopy() : object, out);
    }
}

void RenumberedObjects::writeAll(QByteArray &out, QVector<qint64> &offsets)
{
    for (size_t i = 0; i < queue_.size(); ++i) {  // the queue grows as references are met
        const auto [id, page] = queue_[i];
        const int number = numbers_.at(id);
        offsets << out.size();
        out += QByteArray::number(number) + " 0 obj\n";
        writeObject(source_.getObjectByObjGen(id), page, out);
        out += "\nendobj\n";
    }
}

