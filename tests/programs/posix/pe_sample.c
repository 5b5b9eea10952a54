/* A tiny Windows program: the version reader's tests read the resource section of its builds. */
int main(void)
{
    return 0;
}
