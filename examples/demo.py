"""The tessarin demo: what the module offers, on built-in data."""

import tessarin


def main() -> None:
    print(f"tessarin {tessarin.__version__}")
    print("capabilities:")
    for name in tessarin.capabilities():
        print(f"  - {name}")


if __name__ == "__main__":
    main()
