// level code
