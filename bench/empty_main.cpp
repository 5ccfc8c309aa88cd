// A program that does nothing: the process-start baseline for Wine.
int main() { return 0; }
