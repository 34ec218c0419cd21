// Entry point of lumaro.
#include "Database.h"
#include "Schema.h"
#include "VardoApp.h"

#include <cstdio>
#include <cstring>

namespace {

int CreateDatabaseCommand()
{
    std::string error;
    if (!CreateDatabaseFile(kDatabaseFile, &error)) {
        std::fprintf(stderr, "lumaro: cannot create the database: %s\n", error.c_str());
        return 1;
    }
    std::printf("lumaro: created %s\n", kDatabaseFile);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--create-database") == 0)
        return CreateDatabaseCommand();
    CvardoApp app(argc, argv);
    return app.InitInstance();
}
