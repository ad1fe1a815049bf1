// Reads exported STL and 3MF files back through lib3mf, independently of the exporters, and
// prints what a slicer would see as one JSON line per file: each object's name, triangle and
// vertex counts, enclosed volume and whether it is closed. The end-to-end sessions compare
// this with what the modeller reports about the saved document.
// Usage: export_check FILE...   (status 1 when a file cannot be read or lib3mf refuses it)
#include <iostream>
#include <string>

#include "document/file_io.h"
#include "sketch/json_reader.h"
#include "support/export_readers.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage : export_check FICHIER.stl|FICHIER.3mf…\n";
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        std::string reason;
        const auto bytes = ivo::readFile(path, std::size_t{1} << 30, reason);
        if (!bytes) {
            std::cerr << path << " : " << reason << "\n";
            status = 1;
            continue;
        }
        const bool stl = path.ends_with(".stl") || path.ends_with(".STL");
        const auto read = ivo::testing::readWithLib3mf(*bytes, stl ? "stl" : "3mf");
        if (!read) {
            std::cerr << path << " : lib3mf refuse le fichier\n";
            status = 1;
            continue;
        }
        ivo::Json objects = ivo::Json::array();
        double total = 0;
        for (const auto& o : read->objects) {
            total += o.volume;
            objects.push_back({{"name", o.name},
                               {"triangles", o.triangles},
                               {"vertices", o.vertices},
                               {"volume", o.volume},
                               {"fault", ivo::testing::manifoldFault(o.tris)}});
        }
        const ivo::Json j = {{"file", path},
                             {"objects", std::move(objects)},
                             {"buildItems", read->buildItems},
                             {"volume", total}};
        std::cout << j.dump(-1, ' ', false, ivo::Json::error_handler_t::replace) << "\n";
    }
    return status;
}
