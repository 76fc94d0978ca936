#include "app/context.h"
#include "startup/startup.h"

int main(int argc, char** argv)
{
    app::Application application(argc, argv);
    app::Context context = app::Context::forThisProgram();
    return app::run(context);
}
