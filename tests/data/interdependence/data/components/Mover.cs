class Mover {}
