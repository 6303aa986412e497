// Placeholder until the suk commands land.
int main() { return 0; }
