// Library identification, so that a program can report which quorlink it loaded.
extern "C" __attribute__((visibility("default"))) const char* quorlink_version()
{
    return "0.1";
}
