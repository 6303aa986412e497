// Placeholder entry point until the host backend lands.
int main() { return 0; }
