"""One session, one command: the smallest use of the module."""
from vornak_strategy_ci import Session

session = Session()
print(session.command('{"cmd":"version"}'))
