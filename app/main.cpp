// Placeholder entry point; replaced by the real start-up and command loop.
int main() { return 0; }
