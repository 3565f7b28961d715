// Placeholder entry until the runtime start-up lands.
int main() { return 0; }
