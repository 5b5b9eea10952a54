// Placeholder entry until the window and start-up land.
int main()
{
    return 0;
}
