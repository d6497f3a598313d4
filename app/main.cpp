// Program start.
int main() { return 0; }
