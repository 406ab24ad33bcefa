// Reads arbitrary bytes as the books table Reports/books.dbf, as the firm mailing book does
// before it offers a choice. Every rejection is a qm::Error naming the file; the file is left
// as it was; nothing may crash, hang or leak.
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "core/error.h"
#include "fuzz_support.h"
#include "log/book_table.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = [] {
        table::SetErrorMode(table::TErrorMode::Exception);
        table::SetSystemShortDateFormat("M/d/yyyy");
        return true;
    }();
    (void)once;
    const std::string folder = fuzz::ScratchFolder("book_table");
    fuzz::EmptyFolder(folder);
    const std::string path = folder + "books.dbf";
    fuzz::WriteFile(path, data, size);
    try {
        const BookList books = ReadBooks(QString::fromStdString(path));
        (void)ListedNumbers(books);
    } catch (const Error& e) {
        if (std::string(e.what()).find(path) == std::string::npos) {
            std::fprintf(stderr, "an error that does not name the file: %s\n", e.what());
            std::abort();
        }
    }
    std::ifstream in(path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (after != std::string(reinterpret_cast<const char*>(data), size)) {
        std::fprintf(stderr, "reading the books table changed it\n");
        std::abort();
    }
    return 0;
}
