/* Library identification, so that a program can report which brindel it loaded. */
__attribute__((visibility("default"))) const char* brindel_version(void)
{
    return "0.1";
}
